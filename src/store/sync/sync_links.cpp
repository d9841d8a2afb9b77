#include "sync_links.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <unordered_map>

namespace store::sync {
namespace {

constexpr uint32_t kNone = 0;

struct Anchor {
    uint32_t before = 0, now = 0;  // record number at the last sync and now
};

class Placer {
  public:
    Placer(const std::vector<Link>& links, const std::vector<PresentRecord>& records)
        : links_(links), records_(records), placed_(links.size(), kNone) {
        order_.resize(links.size());
        std::iota(order_.begin(), order_.end(), size_t(0));
        std::stable_sort(order_.begin(), order_.end(),
                         [&](size_t a, size_t b) { return links[a].record < links[b].record; });
        for (size_t i = 0; i < records.size(); ++i) index_[records[i].record] = i;
    }

    std::vector<uint32_t> place() {
        placeUnchanged();
        placeBetweenAnchors();
        return placed_;
    }

  private:
    // Entries as they were, in order: each link takes the first free record with its
    // fingerprints after the one the link before took, and never one after its own old
    // place (a pack only moves records towards the start).
    void placeUnchanged() {
        std::map<std::pair<Fingerprint, Fingerprint>, std::vector<uint32_t>> byContent;
        for (const PresentRecord& record : records_)
            byContent[{record.name, record.memo}].push_back(record.record);
        uint32_t last = 0;
        for (size_t link : order_) {
            const Link& l = links_[link];
            if (l.record == 0) continue;  // its entry was gone already
            const auto found = byContent.find({l.name, l.memo});
            if (found == byContent.end()) continue;
            const std::vector<uint32_t>& candidates = found->second;
            const auto next = std::upper_bound(candidates.begin(), candidates.end(), last);
            if (next == candidates.end() || *next > l.record) continue;
            take(link, *next);
            last = *next;
        }
    }

    void placeBetweenAnchors() {
        // Anchors in order, with one before the first record and one after the last.
        Anchor previous;
        std::vector<size_t> gap;  // the unplaced links since the previous anchor
        for (size_t link : order_) {
            if (links_[link].record == 0) continue;
            if (placed_[link] == kNone) {
                gap.push_back(link);
                continue;
            }
            const Anchor next{links_[link].record, placed_[link]};
            placeGap(gap, previous, &next);
            gap.clear();
            previous = next;
        }
        placeGap(gap, previous, nullptr);
    }

    void placeGap(const std::vector<size_t>& gap, const Anchor& previous, const Anchor* next) {
        if (gap.empty()) return;
        const uint32_t lowest = previous.now + 1;
        const uint32_t highest = next ? next->now - 1 : UINT32_MAX;
        std::unordered_map<Fingerprint, std::vector<uint32_t>> byName, byMemo;
        for (auto it =
                 std::lower_bound(records_.begin(), records_.end(), lowest,
                                  [](const PresentRecord&r, uint32_t n) { return r.record < n; });
             it != records_.end() && it->record <= highest; ++it) {
            if (taken_.count(it->record)) continue;
            byName[it->name].push_back(it->record);
            byMemo[it->memo].push_back(it->record);
        }
        // A renamed entry keeps its memo; an entry with a new memo keeps its name.
        for (const bool matchName : {true, false}) {
            auto& candidates = matchName ? byName : byMemo;
            for (size_t link : gap) {
                if (placed_[link] != kNone) continue;
                const auto found =
                    candidates.find(matchName ? links_[link].name : links_[link].memo);
                if (found == candidates.end()) continue;
                for (uint32_t record : found->second) {
                    if (taken_.count(record)) continue;
                    take(link, record);
                    break;
                }
            }
        }
        // Past the last anchor stand the entries added since the last sync: no place there
        // says which is which.
        if (!next) return;
        // Nothing removed between the anchors: every record kept its distance to them.
        if (next->before - previous.before == next->now - previous.now) {
            for (size_t link : gap) {
                if (placed_[link] != kNone) continue;
                const uint32_t there = previous.now + (links_[link].record - previous.before);
                if (index_.count(there) && !taken_.count(there)) take(link, there);
            }
            return;
        }
        // As many entries left as links: the pack removed only records no link names
        // (entries deleted before the last sync), so they pair in order.
        std::vector<size_t> unplaced;
        for (size_t link : gap)
            if (placed_[link] == kNone) unplaced.push_back(link);
        std::vector<uint32_t> left;
        for (auto it =
                 std::lower_bound(records_.begin(), records_.end(), lowest,
                                  [](const PresentRecord&r, uint32_t n) { return r.record < n; });
             it != records_.end() && it->record <= highest; ++it)
            if (!taken_.count(it->record)) left.push_back(it->record);
        if (unplaced.size() != left.size()) return;
        for (size_t i = 0; i < unplaced.size(); ++i) take(unplaced[i], left[i]);
    }

    void take(size_t link, uint32_t record) {
        placed_[link] = record;
        taken_[record] = true;
    }

    const std::vector<Link>& links_;
    const std::vector<PresentRecord>& records_;
    std::vector<uint32_t> placed_;
    std::vector<size_t> order_;  // links by their old record number
    std::unordered_map<uint32_t, size_t> index_;
    std::unordered_map<uint32_t, bool> taken_;
};

}  // namespace

std::vector<uint32_t> placeLinks(const std::vector<Link>& links,
                                 const std::vector<PresentRecord>& records, bool sameTable) {
    if (!sameTable) return Placer(links, records).place();
    std::unordered_map<uint32_t, bool> present;
    for (const PresentRecord& record : records) present[record.record] = true;
    std::vector<uint32_t> placed;
    placed.reserve(links.size());
    for (const Link& link : links)
        placed.push_back(present.count(link.record) ? link.record : kNone);
    return placed;
}

}  // namespace store::sync
