#include "app/main/QtSinkWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QString>

#include "app/main/FrameOutputFrm.h"
#include "app/main/PreviewForm.h"
#include "app/widgets/BitmapImage.h"
#include "platform/Bitmap.h"
#include "platform/MainThread.h"

void TQtSinkWindow::LogLine(std::string_view line) {
    const QString text = QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
    Synchronize([&] { form_.AppendLog(text); });
}

// The picture is copied here, on the conversion's thread; the GUI thread only shows it.
void TQtSinkWindow::PreviewFrame(const TBitmap& frame, int frameNumber) {
    const QImage picture = ImageOfBitmap(frame);
    Synchronize([&] {
        TPreviewForm* preview = form_.PreviewWindow();
        if (!preview) return;
        if (preview->width() != picture.width() || preview->height() != picture.height())
            preview->SetClientSize(picture.width(), picture.height());
        preview->setWindowTitle(QStringLiteral("#%1").arg(frameNumber));
        preview->Image->setPixmap(QPixmap::fromImage(picture));
    });
}

void TQtSinkWindow::ShowPreview() {
    Synchronize([&] {
        TPreviewForm* preview = form_.PreviewWindow();
        if (preview && form_.chkPreview->isChecked()) preview->show();
    });
}

void TQtSinkWindow::SetBusyCursor(bool busy) {
    Synchronize([&] {
        if (busy) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            ++busy_;
        } else if (busy_ > 0) {
            QApplication::restoreOverrideCursor();
            --busy_;
        }
    });
}
