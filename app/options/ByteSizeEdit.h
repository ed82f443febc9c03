#pragma once
// TByteSizeEdit: a field of the options dialog for a size of file, as ParseByteSize reads it
// ("8M", "500K", "2000000"), empty for none. Only digits, points, blanks and the units' letters
// can be typed; a text that is no size stays as typed, in the invalid colour, until it is put
// right.
#include <QLineEdit>
#include <cstdint>
#include <optional>

class TByteSizeEdit : public QLineEdit {
public:
    explicit TByteSizeEdit(QWidget* parent = nullptr);

    // The bytes typed; 0 for an empty field, nothing for a text that is no size.
    std::optional<int64_t> Bytes() const;
    // Shows the size as one would type it; 0 empties the field.
    void ShowBytes(int64_t bytes);
    // The field is empty or holds a size.
    bool Valid() const { return Bytes().has_value(); }

private:
    void ShowValidity();
};
