#pragma once

#include <QString>
#include <QtGlobal>
#include <array>

#include "events/eventrecord.h"

// The zone and user names as the module keeps them in the first three pages of its parameter
// memory, and the table the windows show them from.
namespace names {

constexpr int kUsers = 12;
constexpr int kZones = 12;
constexpr int kCount = kUsers + kZones;  // users 1..12, then zones 1..12
constexpr int kPagesSize = 768;

}  // namespace names

using NamePagesBytes = std::array<quint8, names::kPagesSize>;

// Where the name fields lie in those pages. The parameter layout is their one home; whoever
// builds the windows hands these down, so this folder need not know that layout.
struct NameFields {
    int userFirst;   // offset of user 1's name
    int userStride;  // from one user's name to the next
    int zoneFirst;
    int zoneStride;
    int width;  // bytes of a name field
};

// A blank, then every byte of the field but the zero bytes, in the module's code page. A zero
// byte does not end the name; nothing is trimmed.
QString nameString(const quint8* field, int width);

// Empty, or blanks only.
bool isBlankName(const QString& name);

// The 24 names out of the pages; a field that does not lie inside them gives an empty name.
NameTable namesFromPages(const NamePagesBytes& pages, const NameFields& fields);

// Zone n (1..12) as the status window captions it: its name as stored when it is not blank,
// else "IN" and the number.
QString zoneCaption(const NameTable& table, int zone);
