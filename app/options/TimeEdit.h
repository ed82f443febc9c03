#pragma once
// TTimeEdit: a time field of the options dialog. It shows a time in the dialog's time text
// ("00:00:02.000") or "N/A" for none, and takes a time typed in the same form (or as seconds,
// "2.5"); Enter or leaving the field hands it on, and Enter never closes the dialog. A text
// that is no time, or a time the dialog refuses, gives way to the time shown before.
#include <QLineEdit>
#include <cstdint>
#include <functional>
#include <optional>

class TTimeEdit : public QLineEdit {
public:
    explicit TTimeEdit(QWidget* parent = nullptr);

    // Shows the time, or "N/A" without one.
    void ShowTime(std::optional<int64_t> time);

    // A time typed (nothing for an empty field or "N/A"); false refuses it.
    std::function<bool(std::optional<int64_t> time)> OnTyped;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Take();

    QString shown_;
};
