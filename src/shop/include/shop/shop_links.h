#pragma once
// The shop row: twelve store categories, each opening one page of the store.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace shop {

// Scheme and host of the store, without a trailing slash; every address begins with it.
inline constexpr std::string_view kStoreRoot = "https://www.amazon.com";

inline constexpr std::string_view kShopCaption = "  Check out the Top 100:in:  ";

// The row's items in index order; the row lays them out column by column, three a column.
inline constexpr std::array<std::string_view, 12> kShopItems = {
    "Music",   "Video",   "Books",      "Gift Cards", "Cameras",   "Electronics",
    "Grocery", "Apparel", "Toys+Games", "Software",   "Houseware", "Hardware"};

inline constexpr int kShopColumns = 4;

// The page the item opens, or nothing for an index outside the row (-1: nothing chosen).
std::optional<std::string> shopAddress(int itemIndex);

// Opens a page once per change of the chosen item: choosing the item already chosen
// opens nothing. Nothing is chosen at start.
class ShopChoice {
  public:
    // The address to open for choosing `itemIndex`, or nothing.
    std::optional<std::string> choose(int itemIndex);
    int chosen() const { return chosen_; }

  private:
    int chosen_ = -1;
};

}  // namespace shop
