#include "support/ownhome.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace {

struct OwnHome {
    OwnHome() {
        if (!dir.isValid()) {
            std::fprintf(stderr, "cannot make a home for the test: %s\n",
                         qPrintable(dir.errorString()));
            std::exit(1);
        }
        // Caches are the libraries' (fonts), not the program's: they stay where they were,
        // and are not rebuilt by every test program.
        if (qEnvironmentVariableIsEmpty("XDG_CACHE_HOME") && !qEnvironmentVariableIsEmpty("HOME"))
            qputenv("XDG_CACHE_HOME", qgetenv("HOME") + "/.cache");
        qputenv("HOME", QFile::encodeName(dir.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral(".local/share"))));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral(".config"))));
    }
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/telvora-test-home-XXXXXX")};
};

const OwnHome& ownHome() {
    static const OwnHome home;
    return home;
}

// Made before main(), so nothing the test reads can come before it.
[[maybe_unused]] const bool madeBeforeMain = (ownHome(), true);

}  // namespace

QString testHome() { return ownHome().dir.path(); }
