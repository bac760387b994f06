#include "game/agents.h"

bool AgentDialogAnchor(const std::string&, agentDialogAnchor&) { return false; }
std::vector<agentRecord> AgentsSnapshot() { return {}; }
void AgentsRestore(const std::vector<agentRecord>&) {}
void AgentsClear() {}
