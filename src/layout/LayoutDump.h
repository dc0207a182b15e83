// The layout dump: the laid-out tree as text, one line per section or box, indented two spaces
// per level. With fixed font metrics it is the same on every machine, so layout tests compare it
// with expected files.
//
// Line formats (coordinates are document pixels; boxes are x,y WxH):
//   document WxH
//   block TAG x,y WxH [content=x,y WxH] [float=left|right] [pos=relative|absolute] [hidden|none]
//   text x,y WxH          then one line per formatted line:
//     line START+COUNT x,y WxH "text"
//   image x,y WxH [...]   (objects say what they are)
#pragma once

#include <string>
#include <string_view>

#include "platform/Types.h"

namespace korva {

class TDumpWriter {
 public:
  // Starts a line at a depth; the caller appends with operator<<, the writer ends the line at
  // the next Line() or at Text().
  TDumpWriter& Line(int depth);
  TDumpWriter& operator<<(std::string_view s);
  TDumpWriter& operator<<(const char* s) { return *this << std::string_view(s); }
  TDumpWriter& operator<<(int v);
  // " x,y WxH" of a rectangle.
  TDumpWriter& Box(const TRect& r);
  TDumpWriter& Box(int x, int y, int w, int h) { return Box(TRect{x, y, x + w, y + h}); }
  // A UTF-16 text in double quotes, with \" \\ and control characters as \uXXXX.
  TDumpWriter& Quoted(std::u16string_view text);
  std::string Text();

 private:
  std::string FOut;
  bool FOpen = false;
};

}  // namespace korva
