#pragma once
// What clipgif-cli writes to stderr: whole lines from any thread, and on a terminal a progress
// bar kept on the last line (taken away before a line is written and drawn again after it).
#include <mutex>
#include <string>
#include <string_view>

class TConsole {
public:
    // `showBar`: the bar is drawn at all (stderr is a terminal and the user wants it).
    explicit TConsole(bool showBar);
    ~TConsole();
    TConsole(const TConsole&) = delete;
    TConsole& operator=(const TConsole&) = delete;

    bool ShowsBar() const { return showBar_; }
    // Writes one line to stderr.
    void Line(std::string_view line);
    // Replaces the bar by `text` (nothing happens without a bar).
    void Bar(const std::string& text);
    // Removes the bar from the screen.
    void ClearBar();
    // The terminal's width in columns (80 when it cannot tell).
    int Columns() const;

private:
    void Erase();
    void Draw();

    const bool showBar_;
    std::mutex lock_;
    std::string bar_;  // the text on screen, empty when none
};
