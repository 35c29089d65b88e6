#include "config/Config.h"
#include "install/InterbootStore.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <map>

using namespace orvanta;

namespace {

// Each test uses its own key so that a real run's HKCU\InterbootContext is never touched.
const char kKey[] = "OrvantaTestInterboot";
const wchar_t kKeyW[] = L"OrvantaTestInterboot";

class InterbootStoreTest : public ::testing::Test {
protected:
    void SetUp() override { testing_support::DeleteRegistryTree(HKEY_CURRENT_USER, kKeyW); }
    void TearDown() override { testing_support::DeleteRegistryTree(HKEY_CURRENT_USER, kKeyW); }

    ChainerConfig config;
    InterbootStore store{config, kKey};
};

} // namespace

TEST_F(InterbootStoreTest, NumbersAndTextsCanBeReadDeletedAndListed)
{
    std::wstring text = L"unchanged";
    EXPECT_NE(store.GetText(L"Ret", text), ERROR_SUCCESS);  // no key yet
    ASSERT_EQ(store.SetNumber(L"Ret", -1), ERROR_SUCCESS);
    int32_t value = 0;
    EXPECT_EQ(store.GetNumber(L"Ret", value), ERROR_SUCCESS);
    EXPECT_EQ(value, -1);

    const std::wstring longText(5000, L'7');
    ASSERT_EQ(store.SetText(L"Long", longText), ERROR_SUCCESS);
    EXPECT_NE(store.GetText(L"Missing", text), ERROR_SUCCESS);
    EXPECT_EQ(text, L"unchanged");
    ASSERT_EQ(store.GetText(L"Long", text), ERROR_SUCCESS);
    EXPECT_EQ(text, longText);

    ASSERT_EQ(store.SetNumber(L"B", 2), ERROR_SUCCESS);
    EXPECT_EQ(store.DeleteValue(L"B"), ERROR_SUCCESS);
    EXPECT_NE(store.DeleteValue(L"B"), ERROR_SUCCESS);
    std::map<std::wstring, std::wstring> values;
    ASSERT_TRUE(store.BeginEnumeration());
    std::wstring name;
    while (store.NextValue(name, text))
        values[name] = text;
    store.EndEnumeration();
    EXPECT_EQ(values, (std::map<std::wstring, std::wstring>{{L"Ret", L"-1"}, {L"Long", longText}}));
}

TEST_F(InterbootStoreTest, StoredCodesAreCopiedIntoPrerequisitesOfTheSameNameAndDeleteKeyRemovesThem)
{
    config.prerequisites.resize(3);
    config.prerequisites[0].RetValPropName = L"RetShared";
    config.prerequisites[1].RetValPropName = L"RetShared";
    config.prerequisites[2].RetValPropName = L"retshared";  // names compare exactly
    store.CopyIntoConfig();  // without a key nothing changes
    EXPECT_FALSE(config.prerequisites[0].hasReturnCode);

    ASSERT_EQ(store.SetNumber(L"RetShared", 3010), ERROR_SUCCESS);
    store.CopyIntoConfig();
    EXPECT_TRUE(config.prerequisites[0].hasReturnCode);
    EXPECT_EQ(config.prerequisites[0].returnCode, 3010);
    EXPECT_TRUE(config.prerequisites[1].hasReturnCode);
    EXPECT_FALSE(config.prerequisites[2].hasReturnCode);
    EXPECT_EQ(store.DeleteKey(), ERROR_SUCCESS);
    EXPECT_FALSE(testing_support::RegistryKeyExists(HKEY_CURRENT_USER, kKeyW));
}
