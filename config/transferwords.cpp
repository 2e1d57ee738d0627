#include "config/transferwords.h"

#include "config/configimage.h"

namespace transferwords {

namespace {

using Kind = ConfigTransfer::Kind;
using Outcome = ConfigTransfer::Outcome;

bool inBlocks(int endedAt) { return endedAt >= 0 && endedAt < image::kBlockCount; }

// "a 4. blokk", "az 5. blokk": the article goes by the sound of the spoken numeral (egy and
// öt begin with a vowel).
QString theBlock(int block) {
    const int n = block + 1;
    return QStringLiteral("%1 %2. blokk")
        .arg(n == 1 || n == 5 ? QStringLiteral("az") : QStringLiteral("a"))
        .arg(n);
}
QString atBlock(int block) { return theBlock(block) + QStringLiteral("nál"); }

// What a transfer that did not finish left as it was. A compare changes nothing.
QString unchanged(Kind kind) {
    switch (kind) {
        case Kind::Read:
            return QStringLiteral("; a kép nem változott.");
        case Kind::Write:
            return QStringLiteral("; a modul adatai nem változtak.");
        case Kind::Compare:
            break;
    }
    return QStringLiteral(".");
}

// Whether the module took the written blocks into use cannot be known once the activation
// went out without its answer.
const char* const kActivationUnknown = "; nem tudni, változtak-e a modul adatai.";

QString failedIn(Kind kind, int endedAt) {
    if (kind == Kind::Write && endedAt == ConfigTransfer::kActivation)
        return QStringLiteral("A modul nem igazolta az aktiválást") +
               QString::fromUtf8(kActivationUnknown);
    const QString what = kind == Kind::Read    ? QStringLiteral("A leolvasás")
                         : kind == Kind::Write ? QStringLiteral("Az írás")
                                               : QStringLiteral("Az összehasonlítás");
    if (!inBlocks(endedAt)) return what + QStringLiteral(" sikertelen") + unchanged(kind);
    return QStringLiteral("%1 %2 megszakadt").arg(what, atBlock(endedAt)) + unchanged(kind);
}

QString stoppedIn(Kind kind, int endedAt) {
    if (kind == Kind::Write && endedAt == ConfigTransfer::kActivation)
        return QStringLiteral("Leállítva az aktiválásnál") + QString::fromUtf8(kActivationUnknown);
    if (!inBlocks(endedAt)) return QStringLiteral("Leállítva") + unchanged(kind);
    return QStringLiteral("Leállítva ") + atBlock(endedAt) + unchanged(kind);
}

}  // namespace

QString serialErrorSentence(Kind kind, int endedAt) {
    if (kind == Kind::Write && endedAt == ConfigTransfer::kActivation)
        return QStringLiteral("Soros hiba az aktiválásnál") + QString::fromUtf8(kActivationUnknown);
    if (!inBlocks(endedAt)) return QStringLiteral("Soros hiba") + unchanged(kind);
    return QStringLiteral("Soros hiba ") + atBlock(endedAt) + unchanged(kind);
}

QString sentence(Kind kind, Outcome outcome, int endedAt) {
    switch (outcome) {
        case Outcome::NotConnected:
            return QStringLiteral("Nincs soros kapcsolat") + unchanged(kind);
        case Outcome::Busy:
            return QStringLiteral("A modul foglalt") + unchanged(kind);
        case Outcome::LoginFailed:
            return QStringLiteral("A belépés sikertelen") + unchanged(kind);
        case Outcome::WrongDataVersion:
            return QStringLiteral("A modul adatverziója nem megfelelő") + unchanged(kind);
        case Outcome::Failed:
            return failedIn(kind, endedAt);
        case Outcome::Stopped:
            return stoppedIn(kind, endedAt);
        case Outcome::Different: {
            if (!inBlocks(endedAt)) return QStringLiteral("A modul és a kép eltér.");
            QString s = theBlock(endedAt) + QStringLiteral(" eltér.");
            s[0] = s[0].toUpper();
            return s;
        }
        case Outcome::Done:
            break;
    }
    switch (kind) {
        case Kind::Read:
            return QStringLiteral("Leolvasás kész.");
        case Kind::Write:
            return QStringLiteral("Írás kész: a modul átvette az adatokat.");
        case Kind::Compare:
            break;
    }
    return QStringLiteral("Az összehasonlítás kész: a modul és a kép egyezik.");
}

}  // namespace transferwords
