// Keeping a text on one line: a value written into a one-line slot (an INI value, a header or
// directive line of the content text) would be cut apart by a line break. Header-only.
#pragma once

#include <QString>

namespace pw::platform {

// The text with every CR and LF turned into a space.
inline QString WithoutLineBreaks(QString text) {
  text.replace(u'\r', u' ');
  text.replace(u'\n', u' ');
  return text;
}

}  // namespace pw::platform
