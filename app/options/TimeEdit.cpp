#include "app/options/TimeEdit.h"

#include <QKeyEvent>
#include <QValidator>

#include "app/core/TimeText.h"
#include "engine/core/FFUtils.h"

namespace {

const QString kNoTime = QStringLiteral("N/A");

// Digits, colons and a point may still become a time; a time is acceptable as it stands.
class TTimeValidator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int&) const override {
        const QString text = input.trimmed();
        if (text.isEmpty() || kNoTime.startsWith(text, Qt::CaseInsensitive)) return Intermediate;
        int64_t time = 0;
        if (ParseTimeText(text.toStdString(), time)) return Acceptable;
        for (const QChar c : text)
            if (!c.isDigit() && c != QLatin1Char(':') && c != QLatin1Char('.')) return Invalid;
        return Intermediate;
    }
};

}  // namespace

TTimeEdit::TTimeEdit(QWidget* parent) : QLineEdit(parent) {
    setValidator(new TTimeValidator(this));
    ShowTime(std::nullopt);
}

void TTimeEdit::ShowTime(std::optional<int64_t> time) {
    shown_ = time ? QString::fromStdString(FormatTimestamp(*time)) : kNoTime;
    setText(shown_);
}

void TTimeEdit::Take() {
    const QString text = this->text().trimmed();
    if (text == shown_) return;
    std::optional<int64_t> time;
    if (!text.isEmpty() && text.compare(kNoTime, Qt::CaseInsensitive) != 0) {
        int64_t typed = 0;
        if (!ParseTimeText(text.toStdString(), typed)) return setText(shown_);
        time = typed;
    }
    if (!OnTyped || !OnTyped(time)) return setText(shown_);
    ShowTime(time);
}

void TTimeEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return QLineEdit::keyPressEvent(event);
    Take();
    selectAll();
    event->accept();
}

void TTimeEdit::focusOutEvent(QFocusEvent* event) {
    Take();
    QLineEdit::focusOutEvent(event);
}
