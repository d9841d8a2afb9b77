#include <shop/shop_links.h>

#include <initializer_list>

namespace shop {

namespace {

constexpr std::string_view kCategoryPath = "/b?%5Fencoding=UTF8&node=";
constexpr std::string_view kTrackingSuffix = "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325";

constexpr int kGiftCards = 3;
constexpr int kHouseware = 10;
constexpr std::string_view kGiftCardsPage = "/dp/B00067L6TQ/ref=nosim/?%5Fencoding=UTF8";
// A page of its own, with its own parameter order and the key link_code.
constexpr std::string_view kHousewarePage =
    "/exec/obidos/redirect?link_code=ur2&tag=kvzp&camp=1789&creative=9325"
    "&path=tg%2Fnew-for-you%2Ftop-sellers%2F-%2Fkitchen%2Fall%2Fref%3Dpd_ts_h";

// Category node of each item; the gift cards and houseware items have none.
constexpr std::array<std::string_view, kShopItems.size()> kNodes = {
    "301668",   "130",      "1000",      "",       "13900861", "172282",
    "16310101", "51569011", "165793011", "229534", "",         "228013"};

std::string joined(std::initializer_list<std::string_view> pieces) {
    std::string text;
    for (std::string_view piece : pieces) text += piece;
    return text;
}

}  // namespace

std::optional<std::string> shopAddress(int itemIndex) {
    if (itemIndex < 0 || itemIndex >= static_cast<int>(kShopItems.size())) return std::nullopt;
    if (itemIndex == kHouseware) return joined({kStoreRoot, kHousewarePage});
    if (itemIndex == kGiftCards) return joined({kStoreRoot, kGiftCardsPage, kTrackingSuffix});
    return joined(
        {kStoreRoot, kCategoryPath, kNodes[static_cast<std::size_t>(itemIndex)], kTrackingSuffix});
}

std::optional<std::string> ShopChoice::choose(int itemIndex) {
    if (itemIndex == chosen_) return std::nullopt;
    std::optional<std::string> address = shopAddress(itemIndex);
    // An index outside the row clears the choice, so the next real choice is a change.
    chosen_ = address ? itemIndex : -1;
    return address;
}

}  // namespace shop
