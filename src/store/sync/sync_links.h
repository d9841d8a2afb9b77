#pragma once
// Finding the entries of the last sync's links in the table as it is now.
//
// A link names its entry by record number, which holds until a pack. A pack writes a new
// table file, keeps the surviving records in their order and closes the gaps the deleted
// ones leave. So when the table file is another one than at the last sync, or has fewer
// records, the links are laid over the records again: first where an entry is exactly as
// it was (name and memo), keeping their order; between two such anchors by an unchanged
// name or an unchanged memo; and where nothing was removed between two anchors, by
// position. A link that finds nothing lost its entry: deleted and packed away.

#include <cstdint>
#include <vector>

#include "sync_state.h"

namespace store::sync {

struct PresentRecord {
    uint32_t record = 0;  // not deleted
    Fingerprint name = 0, memo = 0;
};

// For each link, in order, the record its entry is now, or 0 when it is gone. `records`
// are the table's present records in record order; `sameTable` says the table file is the
// one of the last sync and has no fewer records (no pack happened).
std::vector<uint32_t> placeLinks(const std::vector<Link>& links,
                                 const std::vector<PresentRecord>& records, bool sameTable);

}  // namespace store::sync
