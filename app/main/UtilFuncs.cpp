#include "app/main/UtilFuncs.h"

#include "app/widgets/Dialogs.h"
#include "platform/FileSystem.h"

QUrl LinkUrl(const std::string& link) {
    if (link.empty()) return QUrl();
    return QUrl::fromUserInput(QString::fromStdString(link),
                               QString::fromStdString(ExecutablePath()), QUrl::AssumeLocalFile);
}

void OpenLink(const std::string& link) {
    const QUrl url = LinkUrl(link);
    if (url.isValid()) Dialogs().OpenUrl(url);
}
