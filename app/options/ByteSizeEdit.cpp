#include "app/options/ByteSizeEdit.h"

#include <QValidator>

#include "app/core/ByteSize.h"
#include "app/widgets/Palette.h"

namespace {

// What may still become a size; a size or nothing is acceptable as it stands.
class TByteSizeValidator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int&) const override {
        for (const QChar c : input)
            if (!c.isDigit() && !QStringLiteral(". kKmMbB").contains(c)) return Invalid;
        const QString text = input.trimmed();
        if (text.isEmpty() || ParseByteSize(text.toStdString())) return Acceptable;
        return Intermediate;
    }
};

}  // namespace

TByteSizeEdit::TByteSizeEdit(QWidget* parent) : QLineEdit(parent) {
    setValidator(new TByteSizeValidator(this));
    connect(this, &QLineEdit::textChanged, this, [this] { ShowValidity(); });
}

std::optional<int64_t> TByteSizeEdit::Bytes() const {
    const QString typed = text().trimmed();
    if (typed.isEmpty()) return 0;
    return ParseByteSize(typed.toStdString());
}

void TByteSizeEdit::ShowBytes(int64_t bytes) {
    setText(bytes > 0 ? QString::fromStdString(TypedSizeText(bytes)) : QString());
}

// A palette of no colours of its own takes the dialog's again.
void TByteSizeEdit::ShowValidity() {
    QPalette colours;
    if (!Valid()) colours.setColor(QPalette::Text, facecolors::InvalidText);
    setPalette(Valid() ? QPalette() : colours);
}
