// telvora-cli: shows a data file parameter by parameter, or what differs between two.
#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "config/configimage.h"
#include "config/datafile.h"
#include "params/paramtext.h"

namespace {

constexpr int kSame = 0;
constexpr int kDifferent = 1;
constexpr int kError = 2;

void print(FILE* to, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
}

bool load(const QString& path, QByteArray& bytes) {
    ParamImage image;
    if (const auto error = datafile::open(path, image)) {
        QString why = *error;
        if (QFileInfo(path).isFile() && QFileInfo(path).size() < image::kSize)
            why += QStringLiteral(" (%1 bytes; a data file holds %2)")
                       .arg(QFileInfo(path).size())
                       .arg(image::kSize);
        print(stderr, QStringLiteral("telvora-cli: %1: %2\n").arg(path, why));
        return false;
    }
    bytes = image.bytes();
    return true;
}

// Output that did not reach its file (a full disk, a closed pipe) is an error, not a result:
// a script that reads an exit code of 0 or 1 must be able to trust the lines it got.
int finish(int code) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        const int err = errno;
        print(stderr, QStringLiteral("telvora-cli: cannot write the output: %1\n")
                          .arg(QString::fromLocal8Bit(std::strerror(err))));
        return kError;
    }
    return code;
}

int usage() {
    print(stderr, QStringLiteral("usage: telvora-cli show FILE.KD2\n"
                                 "       telvora-cli diff A.KD2 B.KD2\n"));
    return kError;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 2 && args[0] == QLatin1String("show")) {
        QByteArray image;
        if (!load(args[1], image)) return kError;
        for (const paramtext::Line& line : paramtext::describe(image))
            print(stdout, line.key + QStringLiteral(" = ") + line.value + QLatin1Char('\n'));
        return finish(kSame);
    }
    if (args.size() == 3 && args[0] == QLatin1String("diff")) {
        QByteArray a, b;
        if (!load(args[1], a) || !load(args[2], b)) return kError;
        const QList<paramtext::Difference> diffs = paramtext::compare(a, b);
        for (const paramtext::Difference& d : diffs)
            print(stdout, d.key + QStringLiteral(": ") + d.before + QStringLiteral(" -> ") +
                              d.after + QLatin1Char('\n'));
        return finish(diffs.isEmpty() ? kSame : kDifferent);
    }
    return usage();
}
