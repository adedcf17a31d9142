// When the placement store restores and saves: around the window's own
// show, close and destroy, and what it reports when that fails.

#include "WindowPlacementStoreFixture.h"

using namespace abm;
using namespace abm::test;

TEST_F(WindowPlacementStoreTest, RestoreMovesAnInvisibleWindowWithoutShowingIt)
{
    setKey("NormPos", "1,2,300,400");
    setKey("ShowCmd", "3");
    Session s;
    s.show();
    ASSERT_EQ(s.window.applied.size(), 2u) << "the stored record, then the maximised position";
    for (const WindowPlacement& p : s.window.applied)
        EXPECT_EQ(p.showCmd, swHide);
    EXPECT_EQ(s.window.applied[0].normalPosition, Rect(1, 2, 300, 400));
    EXPECT_EQ(s.window.applied[1].maxPosition, (Point{-4, -4}));

    // Shown again while visible: the current show command is applied as it is.
    s.window.applied.clear();
    s.store.restoreOnShow();
    ASSERT_FALSE(s.window.applied.empty());
    EXPECT_EQ(s.window.applied.back().showCmd, swShowMaximized);
}

TEST_F(WindowPlacementStoreTest, StoreRunsAroundTheWindowsOwnWork)
{
    ScriptedWindow w;
    std::unique_ptr<WindowSettingsStore> store;
    std::vector<std::string> log;
    w.onShow = [&] { log.push_back(std::string("show, placed ") + (w.applied.empty() ? "no" : "yes")); };
    w.canClose = [&] {
        log.push_back(std::string("close-query, file ") + (std::filesystem::exists(iniPath()) ? "yes" : "no"));
        return true;
    };
    w.onDestroy = [&] { log.push_back("destroy, Visible=" + key("Visible")); };
    store = newStore(w);
    store->windowBuilt();
    w.store = store.get();
    w.show();
    ASSERT_TRUE(w.close());
    w.destroy();
    const std::vector<std::string> expected = {"show, placed yes", "close-query, file no", "destroy, Visible=0"};
    EXPECT_EQ(log, expected);
}

TEST_F(WindowPlacementStoreTest, DestroyWithoutASavedCloseSavesWithVisibleOne)
{
    ScriptedWindow w;
    std::string visibleSeenByWindow;
    w.onDestroy = [&] { visibleSeenByWindow = key("Visible"); };
    auto store = newStore(w);
    store->windowBuilt();
    w.store = store.get();
    w.show();
    w.destroy();
    EXPECT_EQ(visibleSeenByWindow, "1") << "the store saves before the window's own destroy handler";
    EXPECT_EQ(key("NormPos"), "602,479,1144,860");
}

TEST_F(WindowPlacementStoreTest, CloseQueryDecidesWhetherToSave)
{
    struct Case {
        const char* what;
        bool allowClose;
        bool hasHandle;
        const char* visibleAfterClose;  // "<none>" when the close did not save
    };
    const Case cases[] = {
        {"closing allowed", true, true, "0"},
        {"closing refused by the window", false, true, "<none>"},
        {"no system window", true, false, "<none>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(iniPath());
        ScriptedWindow w;
        w.hasHandle = c.hasHandle;
        w.canClose = [&] { return c.allowClose; };
        auto store = newStore(w);
        store->windowBuilt();
        w.store = store.get();
        w.show();
        EXPECT_EQ(w.close(), c.allowClose);
        EXPECT_EQ(key("Visible"), c.visibleAfterClose);
        w.destroy();
        EXPECT_EQ(key("Visible"), std::string(c.visibleAfterClose) == "0" ? "0" : "1")
            << "the destroy hook saves only what the close did not";
    }
}

TEST_F(WindowPlacementStoreTest, NothingIsSavedBeforeTheFirstRestore)
{
    Session s;
    s.store.saveOnClose();
    s.window.destroy();
    EXPECT_FALSE(std::filesystem::exists(iniPath()));
}

TEST_F(WindowPlacementStoreTest, UnwritableSettingsFolderReportsOnCloseAndAgainOnDestroy)
{
    abm::test::writeFile(dir / "plain", {'x'});
    env.set("XDG_CONFIG_HOME", dir / "plain/config");
    ScriptedWindow w;
    bool ownDestroyRan = false;
    w.onDestroy = [&] { ownDestroyRan = true; };
    std::vector<std::string> errors;
    auto store = newStore(w, &errors);
    store->windowBuilt();
    w.store = store.get();

    w.show();
    EXPECT_TRUE(errors.empty()) << "reading never fails";
    EXPECT_TRUE(w.close()) << "the window still closes";
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Unable to write to abmmaker.INI.\nNot a directory");
    w.destroy();
    EXPECT_TRUE(ownDestroyRan);
    const std::vector<std::string> twice(2, "Unable to write to abmmaker.INI.\nNot a directory");
    EXPECT_EQ(errors, twice);
}

TEST_F(WindowPlacementStoreTest, FailingRestoreIsReportedAndTheWindowStillOpens)
{
    ScriptedWindow w;
    bool ownShowRan = false;
    w.onShow = [&] { ownShowRan = true; };
    w.refusePlacement = true;
    std::vector<std::string> errors;
    auto store = newStore(w, &errors);
    store->windowBuilt();
    w.store = store.get();
    w.show();
    EXPECT_TRUE(ownShowRan);
    EXPECT_EQ(errors, std::vector<std::string>{"placement refused"});
    EXPECT_TRUE(w.isShown);
}
