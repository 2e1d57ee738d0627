#include "params/namefields.h"

#include "params/flashaddr.h"

NameFields moduleNameFields() {
    namespace A = FlashAddr;
    static_assert(A::UserNameLength == A::ZoneNameLength, "one width for every name");
    static_assert(A::ZoneRecords + (A::ZoneCount - 1) * A::ZoneRecordSize + A::ZoneName +
                          A::ZoneNameLength <= names::kPagesSize,
                  "the names lie in the pages the download reads");
    static_assert(A::UserCount == names::kUsers && A::ZoneCount == names::kZones,
                  "a name for every user and zone");
    return {A::UserRecords + A::UserName, A::UserRecordSize, A::ZoneRecords + A::ZoneName,
            A::ZoneRecordSize, A::UserNameLength};
}
