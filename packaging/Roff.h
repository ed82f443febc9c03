#pragma once
// Manual pages in the man macros of roff: plain text made safe for it, and a page put together
// section by section.
#include <string>

// `text` as roff prints it literally: backslashes as \e, hyphens as \- (so options and names
// copied from the page work), and a line that would start with '.' or '\'' (a request) behind
// the zero-width \&.
std::string RoffText(const std::string& text);

// Bold and italic runs, for option names and arguments: "\fB\-\-size\fR".
std::string RoffBold(const std::string& text);
std::string RoffItalic(const std::string& text);

// A page of section 1, written top to bottom.
class TManPage {
public:
    // The title line: "CLIPGIF-CLI 1", no date (so a rebuild gives the same page), the source;
    // lines left-aligned and never hyphenated.
    TManPage(const std::string& name, const std::string& source);

    void Section(const std::string& heading);
    // A line of plain text / of roff (bold and italic runs), going on the paragraph before it.
    void Line(const std::string& text);
    void MarkedLine(const std::string& roff);
    // The next line starts a line of its own.
    void Break();
    // A new paragraph of plain text.
    void Paragraph(const std::string& text);
    // An indented paragraph under a tag in roff: an option and its description.
    void TaggedParagraph(const std::string& tagRoff, const std::string& text);
    // "name(1)" references, comma separated.
    void References(const std::string& first, const std::string& second = {});

    const std::string& Text() const { return text_; }

private:
    std::string text_;
};
