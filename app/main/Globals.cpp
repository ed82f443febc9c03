#include "app/main/Globals.h"

#include <QCoreApplication>

TGlobalSettings& GlobalSettings() {
    static TGlobalSettings settings;
    return settings;
}

QString ApplicationTitle() { return QCoreApplication::applicationName(); }

void SetApplicationTitle(const QString& title) { QCoreApplication::setApplicationName(title); }
