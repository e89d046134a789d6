// A literal model of the block layer for the tests, written the plain way
// (lines split one byte at a time, H built before the block changes) on top
// of the inline model. Header rows that are not followed by body rows end
// their table, as the converter does.
#pragma once

#include <string>
#include <vector>

#include "markup/InlineReference.h"

namespace pw::reference {

enum Tag { Empty, Html, P, H1, H2, H3, UL, OL, PRE, DIV, TH, TB };

class BlockModel {
 public:
  BlockModel(std::string img_path, std::string pre_style) : img_(img_path), pre_style_(pre_style) {
    if (!img_.empty() && img_.back() != '/') img_ += '/';
  }

  std::string Convert(std::string source) {
    tag_ = Html;
    level_ = 0;
    stack_.assign(1, Html);
    attrs_.clear();
    out_.clear();
    size_t zero = source.find('\0');
    if (zero != std::string::npos) source.resize(zero);
    size_t i = 0;
    while (i < source.size()) {
      std::string line;
      while (i < source.size() && source[i] != '\n' && source[i] != '\r') line += source[i++];
      if (i < source.size() && source[i] == '\r') ++i;
      if (i < source.size() && source[i] == '\n') ++i;
      bool blank = true;
      for (char c : line) blank = blank && (unsigned char)c <= 32;
      if (blank) line.clear();
      std::string h;
      Tag t = Classify(line, h);
      if (t != tag_) {
        if (tag_ == TH && t == TB)
          out_ += "</thead>\n";
        else
          Close(tag_);
        Open(t);
      }
      out_ += h;
    }
    stack_[level_] = tag_;
    for (int k = level_; k >= 0; --k) Close(stack_[k]);
    if (!out_.empty() && out_.back() == '\n') out_.pop_back();
    return out_;
  }

 private:
  static std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (unsigned char)s[b] <= 32) ++b;
    while (e > b && (unsigned char)s[e - 1] <= 32) --e;
    return s.substr(b, e - b);
  }
  static bool Starts(const std::string& s, const std::string& p) { return s.rfind(p, 0) == 0; }
  std::string Inline(const std::string& s) { return ConvertInline(s, img_); }

  void Open(Tag t) {
    auto el = [&](const std::string& name, bool nl) {
      out_ += "<" + name + attrs_ + (nl ? ">\n" : ">");
      attrs_.clear();
    };
    const char* names[] = {"", "", "p", "h1", "h2", "h3", "ul", "ol", "pre", "div"};
    if (t >= P && t <= H3) el(names[t], false);
    if (t >= UL && t <= DIV) el(names[t], true);
    if (t == TH) {
      el("table", true);
      el("thead", true);
    }
    if (t == TB) {
      if (tag_ != TH) el("table", true);
      el("tbody", true);
    }
    tag_ = t;
  }

  void Close(Tag t) {
    static const char* closes[] = {"",          "",          "</p>\n",   "</h1>\n",
                                   "</h2>\n",   "</h3>\n",   "</li>\n</ul>\n", "</li>\n</ol>\n",
                                   "</pre>\n",  "</div>\n",  "</thead>\n</table>\n", "</tbody>\n</table>\n"};
    out_ += closes[t];
  }

  std::string Cells(const std::string& text, char sep) {
    std::string out;
    int span = 1;
    auto emit = [&](const std::string& cell) {
      if (cell.empty()) {
        ++span;
        return;
      }
      out += "<td";
      if (Starts(cell, "  ")) out += " align=\"right\"";
      else if (cell[0] == ' ') out += " align=\"center\"";
      if (span > 1) {
        out += " colspan=\"" + std::to_string(span) + "\"";
        span = 1;
      }
      out += ">" + Trim(cell) + "</td>";
    };
    size_t pos = 0;
    for (size_t next; (next = text.find(sep, pos)) != std::string::npos; pos = next + 1)
      emit(text.substr(pos, next - pos));
    if (!Trim(text.substr(pos)).empty()) emit(text.substr(pos));
    return out;
  }

  std::string PreAttributes() {
    size_t pos = 0;
    if (auto w = ReadWord(pre_style_, pos, IsClassChar, ' ', true))
      return (*w)[0] == '#' ? " id=\"" + w->substr(1) + "\"" : " class=\"" + *w + "\"";
    return " style=\"" + pre_style_ + "\"";
  }

  Tag Classify(const std::string& line, std::string& h) {
    size_t spaces = 0;
    while (spaces < line.size() && line[spaces] == ' ') ++spaces;
    int level = int(spaces / 2);
    if (level > level_) {
      if ((int)stack_.size() < level + 1) stack_.resize(level + 1);
      stack_[level_] = tag_;
      for (int k = level_ + 1; k <= level; ++k) stack_[k] = Html;
      tag_ = Html;
    } else if (level < level_) {
      stack_[level_] = tag_;
      for (int k = level_; k > level; --k) Close(stack_[k]);
      tag_ = stack_[level];
    }
    level_ = level;

    std::string s = Trim(line);
    for (int n = 1; n <= 3; ++n) {
      if (Starts(s, std::string(n, '=') + " ")) {
        Tag t = Tag(H1 + n - 1);
        if (tag_ == t) {
          Close(t);
          Open(t);
        }
        h = Inline(s.substr(n + 1));
        return t;
      }
    }
    if (Starts(s, "# ") || Starts(s, "* ")) {
      Tag t = s[0] == '#' ? OL : UL;
      h = (tag_ == t ? "</li>\n<li>" : "<li>") + Inline(s.substr(2));
      return t;
    }
    char first = s.empty() ? 0 : s[0];
    if (first == '>') {
      std::string text = line.substr(line.find('>') + 1), esc;
      for (size_t k = 0; k < text.size(); ++k) {
        char c = text[k];
        if (c == '&') esc += "&#38;";
        else if (c == '<') esc += "&lt;";
        else if (c == '>') esc += "&gt;";
        else if (c == '[') esc += "&#91;";
        else if (c == '{') esc += "&#123;";
        else if (c == '\t') esc += "&nbsp;&nbsp;";
        else if (c == ' ' && k + 1 < text.size() && text[k + 1] == ' ') {
          esc += "&nbsp;&nbsp;";
          ++k;
        } else if (c == ' ') esc += "&#32;";
        else esc += c;
      }
      if (tag_ == DIV || !attrs_.empty()) {
        h = esc + "<br/>";
        return DIV;
      }
      if (!pre_style_.empty()) {
        attrs_ = PreAttributes();
        h = esc + "<br/>";
        return DIV;
      }
      h = esc + "\n";
      return PRE;
    }
    if (first == '^') {
      h = "<tr>" + Inline(Cells(s.substr(1), '^')) + "</tr>\n";
      return TH;
    }
    if (first == '|') {
      if (tag_ == TB) {
        h = "<tr" + attrs_ + ">" + Inline(Cells(s.substr(1), '|')) + "</tr>\n";
        attrs_.clear();
      } else {
        h = "<tr>" + Inline(Cells(s.substr(1), '|')) + "</tr>\n";
      }
      return TB;
    }
    if (first == 0 || first == '[') return Empty;
    if (first == ';') return tag_;
    if (first == '<') {
      h = Inline(line) + "\n";
      return Html;
    }
    if (Starts(s, ".[")) {
      auto g = FindGroup(s, 0, ".");
      if (g && g->marker == 0 && Trim(s.substr(g->after)).empty()) {
        size_t pos = 0;
        std::string a = ParseAttributeGroup(g->content, pos);
        if (Trim(g->content.substr(pos)).empty()) {
          attrs_ = a;
          return tag_;
        }
      }
    }
    switch (tag_) {
      case Empty:
        if (Starts(s, "{$") && s.back() == '}') {
          h = line + "\n";
          return Html;
        }
        h = Inline(line);
        return P;
      case Html: h = Inline(line) + "\n"; return Html;
      case P: case H1: case H2: case H3: case UL: case OL: h = "<br/>" + Inline(line); return tag_;
      default: h = Inline(line); return tag_;
    }
  }

  std::string img_, pre_style_, attrs_, out_;
  Tag tag_ = Html;
  int level_ = 0;
  std::vector<Tag> stack_;
};

}  // namespace pw::reference
