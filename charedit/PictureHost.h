// charedit/PictureHost.h
#pragma once
#include <string>
namespace mf {
// What the picture windows need from the character editor: its folders, the
// picture count of script line 3 and the selected scene's frames.
class PictureHost {
 public:
  virtual ~PictureHost() = default;
  virtual std::string CharDir() const = 0;    // no trailing separator
  virtual std::string MirrorDir() const = 0;  // no trailing separator
  virtual int PictureCount() const = 0;       // script line 3
  virtual void SetPictureCount(int count) = 0;
  // Appends a frame (picture number, caption "speed:dx:dy" as typed) to the
  // selected scene and rewrites the scene's line.
  virtual void AddFrame(int pictureNumber, const std::string& caption) = 0;
  // The editor's add-picture command: prepares and refills the import window.
  virtual void RefreshPictureList() = 0;
};
}  // namespace mf
