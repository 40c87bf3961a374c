#pragma once

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/PrivateXServer.h"

namespace mf::testing {

// A private Xorg with the dummy video driver: unlike Xvfb it offers several
// RandR outputs (DUMMY0, DUMMY1, ...) that xrandr places side by side or
// stacked, switches off and on again while programs run. Name() is empty
// when Xorg could not start.
class DummyXorg {
 public:
  explicit DummyXorg(const std::string& folder) {
    const std::string config = folder + "/dummy-xorg.conf";
    std::ofstream(config) << "Section \"Device\"\n  Identifier \"dummy\"\n  Driver \"dummy\"\n"
                             "  VideoRam 256000\nEndSection\n"
                             "Section \"Monitor\"\n  Identifier \"monitor\"\n  HorizSync 5.0-1000.0\n"
                             "  VertRefresh 5.0-200.0\nEndSection\n"
                             "Section \"Screen\"\n  Identifier \"screen\"\n  Device \"dummy\"\n"
                             "  Monitor \"monitor\"\n  DefaultDepth 24\n  SubSection \"Display\"\n"
                             "    Depth 24\n    Virtual 4096 2160\n  EndSubSection\nEndSection\n";
    server_ = std::make_unique<PrivateXServer>(std::vector<std::string>{
        "Xorg", "-config", config, "-noreset", "-nolisten", "tcp", "-logfile", folder + "/dummy-xorg.log"});
  }

  const std::string& Name() const { return server_->Name(); }

 private:
  std::unique_ptr<PrivateXServer> server_;
};

}  // namespace mf::testing
