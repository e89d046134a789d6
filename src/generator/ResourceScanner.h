// Finds the references to template files in a page's HTML and in style sheets: link hrefs,
// img and script sources, background attributes and CSS url() groups. Stateless; the
// generator decides what to do with each reference.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace pw {

enum class TReferenceKind {
  LinkHref,   // href of a link tag: a style sheet whose own url() groups count too
  Attribute,  // first src of img or script, first background of any other tag
  StyleUrl,   // url() group inside a <style> element
};

using TReferenceSink = std::function<void(std::string_view reference, TReferenceKind kind)>;

// Scans tags from "<" to the next ">"; the tag name is the first word in lower case; attribute
// values are quoted with double or single quotes, or run up to a space.
void ScanHtmlReferences(std::string_view html, const TReferenceSink& sink);

// Calls sink with the value of every url(...) group, spaces and surrounding quotes removed.
void ScanCssUrls(std::string_view css, const std::function<void(std::string_view)>& sink);

// A reference made relative to the template folder: a leading baseUrl (compared
// case-sensitively) is removed and '\' becomes '/'.
std::string MakeReferenceRelative(std::string_view reference, std::string_view baseUrl);

}  // namespace pw
