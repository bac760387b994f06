// The audio tests' fixture: a program folder of its own with the log, the data files, the
// settings and the audio unit started in it, playing through OpenAL Soft's wave driver.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/audio.h"
#include "audio/audio_test_support.h"
#include "core/ini.h"
#include "core/util.h"
#include "data/data_file.h"
#include "support/test_support.h"

class AudioTest : public ::testing::Test {
 protected:
  // Starts the units with the given command-line parameters ("-userdatainapp" is added).
  void Start(std::vector<std::string> parameters = {}) {
    Configure();
    tftest::UseProgramFolder(dir_, std::move(parameters));
    DataFileStart();
    IniStart();
    AudioStart();
    started_ = true;
  }
  // Ends the units; closing the device completes the wave file, whose samples are returned.
  std::vector<float> Finish() {
    End();
    return audiotest::ReadWaveOutput(audiotest::UseWaveOutput());
  }
  void End() {
    if (!started_) return;
    AudioEnd();
    IniEnd();
    DataFileEnd();
    started_ = false;
  }
  void TearDown() override {
    End();
    UtilSetAppFolder("");
  }
  virtual void Configure() { audiotest::UseWaveOutput(); }

  void Put(const std::string& relative, const std::string& bytes) {
    ASSERT_TRUE(tftest::WriteFile(dir_ / relative, bytes));
  }
  std::string Settings() const { return tftest::ReadFile(dir_ / "settings.ini"); }

  tftest::TempDir dir_;
  bool started_ = false;
};
