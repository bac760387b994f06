// libFuzzer harness for the interpreter: the fuzz bytes become the code of a valid script file
// (objects of every kind that needs no pictures, two app routines, a listener), which is loaded,
// updated, sent events and unloaded. Loops and forks are bounded by the interpreter's work budget.
#include <cstdint>
#include <vector>

#include "fuzz_files.h"
#include "script/script.h"
#include "script/script_internal.h"
#include "script/script_write.h"
#include "script/vm_thread.h"

namespace {

objEntry ObjectHead(int32_t type, const std::string& name, int32_t order) {
  objEntry o;
  o.type = type;
  o.name = name;
  o.displayId = 1;
  o.order = order;
  return o;
}

scriptFile BaseFile() {
  scriptFile file;
  file.routines = {"Ok", "Fail"};
  objEntry o = ObjectHead(kObjButton, "play", 3);
  o.button.visible = o.button.enabled = true, o.button.text = "Play";
  file.objects.push_back(o);
  o = ObjectHead(kObjDisplay, "screen", 0);
  o.display = objDisplay{640, 480, 1};
  file.objects.push_back(o);
  o = ObjectHead(kObjLabel, "caption", 1);
  o.label.text = "Hello there", o.label.wrapWidth = 50, o.label.visible = true;
  file.objects.push_back(o);
  o = ObjectHead(kObjList, "choices", 2);
  o.list.kind = "VERTICAL", o.list.cellCount = 3, o.list.visible = o.list.enabled = true;
  file.objects.push_back(o);
  o = ObjectHead(kObjSlider, "volume", 4);
  o.slider.maxValue = 100, o.slider.value = 50, o.slider.pageSize = 10, o.slider.visible = true;
  file.objects.push_back(o);
  o = ObjectHead(kObjPointer, "arrow", 9);
  o.pointer.fadeOnIdle = true;
  file.objects.push_back(o);
  file.objects.push_back(ObjectHead(kObjRender, "scene", 0));
  o = ObjectHead(kObjAppObj, "thing", 6);
  o.appObj.animateName = "Spin";
  file.objects.push_back(o);
  o = ObjectHead(kObjCamera, "view", 7);
  o.camera.viewWidth = o.camera.viewHeight = 100, o.camera.names = {"CAPTION"};
  file.objects.push_back(o);
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    fuzzfiles::Folder();
    VmRunBudgetSet(5000);
    return true;
  }();
  (void)ready;
  if (size < 2) return 0;
  ScriptStart();
  ScriptAppRoutineRegister("Ok", [](int32_t, int32_t) { return 1; });
  ScriptAppRoutineRegister("Fail", [](int32_t, int32_t) { return 0; });
  scriptFile file = BaseFile();
  file.listenerPresent = data[0] & 1;
  file.code.assign(data + 2, data + size);
  file.listenerAddress = file.code.empty() ? 0 : data[1] % file.code.size();
  const std::vector<uint8_t> bytes = ScriptFileWrite(file);
  const int32_t id = ScriptLoad(fuzzfiles::Write("code.vmc", bytes.data(), bytes.size()));
  for (int32_t frame = 0; frame < 4; ++frame) {
    ScriptPostEvent(id, -3 - frame, "PLAY");
    ScriptUpdate(id);
  }
  ScriptUnload(id);
  ScriptEnd();
  fuzzfiles::ForgetLog();
  return 0;
}
