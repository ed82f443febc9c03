#include "packaging/Roff.h"

#include <cctype>

std::string RoffText(const std::string& text) {
    std::string roff;
    bool lineStart = true;
    for (const char c : text) {
        if (lineStart && (c == '.' || c == '\'')) roff += "\\&";
        if (c == '\\')
            roff += "\\e";
        else if (c == '-')
            roff += "\\-";
        else
            roff += c;
        lineStart = c == '\n';
    }
    return roff;
}

std::string RoffBold(const std::string& text) { return "\\fB" + RoffText(text) + "\\fR"; }

std::string RoffItalic(const std::string& text) { return "\\fI" + RoffText(text) + "\\fR"; }

TManPage::TManPage(const std::string& name, const std::string& source) {
    std::string title;
    for (const char c : name)
        title += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    text_ = ".TH " + RoffText(title) + " 1 \"\" \"" + RoffText(source) + "\" \"User Commands\"\n";
    // Left-aligned, no hyphenation: names and options stay whole on a line.
    text_ += ".ad l\n.nh\n";
}

void TManPage::Section(const std::string& heading) { text_ += ".SH " + RoffText(heading) + "\n"; }

void TManPage::Line(const std::string& text) { MarkedLine(RoffText(text)); }

void TManPage::MarkedLine(const std::string& roff) { text_ += roff + "\n"; }

void TManPage::Break() { text_ += ".br\n"; }

void TManPage::Paragraph(const std::string& text) { text_ += ".PP\n" + RoffText(text) + "\n"; }

void TManPage::TaggedParagraph(const std::string& tagRoff, const std::string& text) {
    text_ += ".TP\n" + tagRoff + "\n" + RoffText(text) + "\n";
}

void TManPage::References(const std::string& first, const std::string& second) {
    text_ += ".BR " + RoffText(first) + " (1)" + (second.empty() ? "" : ",") + "\n";
    if (!second.empty()) text_ += ".BR " + RoffText(second) + " (1)\n";
}
