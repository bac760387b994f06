// App routines of the arcade layer and the high scores.
#include "game/app_routines.h"
#include "game/arcade.h"
#include "game/high_scores.h"

void AppRoutinesRegisterArcade() {
  AppRegister("AppBuildingHeight", [](const appCall& c) { c.Set(2, ArcadeBuildingHeight(c.Int(1))); });
  AppRegister("AppBuildingScore", [](const appCall& c) { c.Set(2, ArcadeBuildingScore(c.Int(1))); });
  AppRegister("AppBuildingStanding", [](const appCall& c) { c.SetBool(2, ArcadeBuildingStanding(c.Int(1))); });
  AppRegister("AppGetShake", [](const appCall& c) { c.Set(2, ArcadeBuildingShake(c.Int(1))); });
  AppRegister("AppDropShoot", [](const appCall& c) { ArcadeDropShoot(c.Int(1), c.Int(2), c.Int(3)); });
  AppRegister("AppDropStats", [](const appCall& c) {
    c.Set(1, ArcadeHits());
    c.Set(2, ArcadeShots());
  });
  AppRegister("AppGameUpdate", [](const appCall& c) { c.Set(2, ArcadeUpdate(c.Int(1))); });
  AppRegister("AppLevel", [](const appCall& c) { c.Set(1, ArcadeLevel()); });
  AppRegister("AppResetLevel", [](const appCall&) { ArcadeResetLevel(); });
  AppRegister("AppGetHighScore", [](const appCall& c) {
    std::string name;
    int32_t score = 0;
    HighScoreGet(c.Int(1), name, score);
    c.SetText(2, name);
    c.Set(3, score);
  });
  AppRegister("AppSetHighScore", [](const appCall& c) { HighScoreSet(c.Text(1), c.Int(2)); });
}
