#include "shop_links.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Written out in full, so a wrong piece or a stray separator shows.
const std::vector<std::string> kExpectedAddresses = {
    "https://www.amazon.com/b?%5Fencoding=UTF8&node=301668"
    "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325",
    "https://www.amazon.com/b?%5Fencoding=UTF8&node=130"
    "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325",
    "https://www.amazon.com/b?%5Fencoding=UTF8&node=1000"
    "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325",
    "https://www.amazon.com/dp/B00067L6TQ/ref=nosim/?%5Fencoding=UTF8"
    "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325",
    "https://www.amazon.com/b?%5Fencoding=UTF8&node=13900861"
    "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325",
    "https://www.amazon.com/b?%5Fencoding=UTF8&node=172282"
    "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325",
    "https://www.amazon.com/b?%5Fencoding=UTF8&node=16310101"
    "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325",
    "https://www.amazon.com/b?%5Fencoding=UTF8&node=51569011"
    "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325",
    "https://www.amazon.com/b?%5Fencoding=UTF8&node=165793011"
    "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325",
    "https://www.amazon.com/b?%5Fencoding=UTF8&node=229534"
    "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325",
    "https://www.amazon.com/exec/obidos/redirect?link_code=ur2&tag=kvzp&camp=1789&creative=9325"
    "&path=tg%2Fnew-for-you%2Ftop-sellers%2F-%2Fkitchen%2Fall%2Fref%3Dpd_ts_h",
    "https://www.amazon.com/b?%5Fencoding=UTF8&node=228013"
    "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325",
};

TEST(ShopAddress, EveryItemOpensItsOwnPage) {
    ASSERT_EQ(shop::kShopItems.size(), kExpectedAddresses.size());
    for (int index = 0; index < static_cast<int>(kExpectedAddresses.size()); ++index) {
        SCOPED_TRACE(std::string(shop::kShopItems[static_cast<std::size_t>(index)]));
        EXPECT_EQ(shop::shopAddress(index), kExpectedAddresses[static_cast<std::size_t>(index)]);
    }
}

TEST(ShopAddress, NamedItemsGiveTheirPages) {
    EXPECT_EQ(shop::kShopItems[0], "Music");
    EXPECT_EQ(shop::shopAddress(0),
              "https://www.amazon.com/b?%5Fencoding=UTF8&node=301668"
              "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325");
    // Gift cards: a product page rather than a category.
    EXPECT_EQ(shop::kShopItems[3], "Gift Cards");
    EXPECT_EQ(shop::shopAddress(3),
              "https://www.amazon.com/dp/B00067L6TQ/ref=nosim/?%5Fencoding=UTF8"
              "&tag=kvzp&linkCode=ur2&camp=1789&creative=9325");
    // Houseware: the fixed address, no node number and no tracking suffix of the others.
    EXPECT_EQ(shop::kShopItems[10], "Houseware");
    const std::string houseware = shop::shopAddress(10).value();
    EXPECT_EQ(houseware.find("node="), std::string::npos);
    EXPECT_EQ(houseware.find("linkCode"), std::string::npos);
}

TEST(ShopAddress, EveryAddressStartsAtTheStoreRootWithoutDoubleSlash) {
    for (int index = 0; index < 12; ++index) {
        const std::string address = shop::shopAddress(index).value();
        EXPECT_EQ(address.rfind("https://www.amazon.com/", 0), 0u) << address;
        EXPECT_EQ(address.find("//", 8), std::string::npos) << address;
    }
}

TEST(ShopAddress, IndexOutsideTheRowHasNoAddress) {
    EXPECT_FALSE(shop::shopAddress(-1));
    EXPECT_FALSE(shop::shopAddress(12));
}

TEST(ShopChoice, OpensOncePerChangeOfTheChosenItem) {
    shop::ShopChoice choice;
    EXPECT_EQ(choice.chosen(), -1);
    std::vector<std::string> opened;
    for (int index : {0, 1, 0, 0}) {
        if (auto address = choice.choose(index)) opened.push_back(*address);
    }
    // Music, Video, Music again: three pages; the second click on Music opens none.
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[0], kExpectedAddresses[0]);
    EXPECT_EQ(opened[1], kExpectedAddresses[1]);
    EXPECT_EQ(opened[2], kExpectedAddresses[0]);
    EXPECT_EQ(choice.chosen(), 0);
}

TEST(ShopChoice, ClearedChoiceMakesTheSameItemAChangeAgain) {
    shop::ShopChoice choice;
    ASSERT_TRUE(choice.choose(5));
    EXPECT_FALSE(choice.choose(-1));
    EXPECT_EQ(choice.chosen(), -1);
    EXPECT_EQ(choice.choose(5), kExpectedAddresses[5]);
}

}  // namespace
