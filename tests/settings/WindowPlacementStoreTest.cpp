#include "settings/WindowSettingsStore.h"
#include "settings/IniFile.h"
#include "ScopedEnv.h"
#include "ScriptedWindow.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <functional>
#include <memory>

using namespace abm;
using abm::test::ScopedEnv;
using abm::test::ScriptedWindow;
using abm::test::TempDir;

namespace {

std::string text(const std::string& path)
{
    const std::vector<uint8_t> bytes = abm::test::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

std::string numbers(int a, int b, int c, int d)
{
    return std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "," + std::to_string(d);
}

std::unique_ptr<WindowSettingsStore> newStore(ScriptedWindow& window, std::vector<std::string>* errors = nullptr)
{
    auto store = std::make_unique<WindowSettingsStore>(window);
    store->setProgramFile("/usr/bin/abmmaker");
    if (errors)
        store->setOnError([errors](const std::exception& e) { errors->push_back(e.what()); });
    return store;
}

// One run of the program: the window is built with the store attached,
// configured, shown, used, closed and destroyed.
struct Session {
    explicit Session(const std::function<void(ScriptedWindow&)>& configure = {})
    {
        store.setProgramFile("/usr/bin/abmmaker");
        store.setOnError([this](const std::exception& e) { errors.push_back(e.what()); });
        if (configure)
            configure(window);
        store.attachToWindow();
    }
    void show() { window.show(); }
    void end()
    {
        if (window.close())
            window.destroy();
    }

    ScriptedWindow window;
    WindowSettingsStore store{window};
    std::vector<std::string> errors;
};

class WindowPlacementStoreTest : public ::testing::Test {
protected:
    WindowPlacementStoreTest() { env.set("XDG_CONFIG_HOME", dir / "config"); }
    std::string iniPath() const { return dir / "config/abmmaker.INI"; }
    std::string key(const std::string& key) const
    {
        return IniFile("abmmaker.INI").readString("TMForm", key, "<none>");
    }
    void setKey(const std::string& key, const std::string& value)
    {
        IniFile("abmmaker.INI").writeString("TMForm", key, value);
    }
    // A first run that leaves the window as `use` puts it.
    void firstRun(const std::function<void(ScriptedWindow&)>& use,
                  const std::function<void(ScriptedWindow&)>& configure = {})
    {
        Session s(configure);
        s.show();
        use(s.window);
        s.end();
        ASSERT_TRUE(s.errors.empty());
    }

    TempDir dir;
    ScopedEnv env;
};

TEST_F(WindowPlacementStoreTest, OneRunWritesThePlacementKeysAfterTheFolders)
{
    Session s;
    s.show();
    EXPECT_EQ(s.window.normal, Rect(602, 479, 1144, 860)) << "first run keeps the designed bounds";
    EXPECT_EQ(s.window.state, WindowState::normal);
    s.store.writeSetting("LoadImg", "/home/u/Pictures/");
    s.store.writeSetting("SavePath", "/home/u/Phone/");
    s.end();
    const std::string minMax = numbers(-1, -1, -s.window.frame.width, -s.window.frame.height);
    // clang-format off
    EXPECT_EQ(text(iniPath()),
              "[TMForm]\r\n"
              "LoadImg=/home/u/Pictures/\r\n"
              "SavePath=/home/u/Phone/\r\n"
              "FormVersion=0\r\n"
              "Flags=0\r\n"
              "ShowCmd=1\r\n"
              "PixelsPerInch=96\r\n"
              "MinMaxPos(1024x768)=" + minMax + "\r\n"
              "MinMaxPos=" + minMax + "\r\n"
              "NormPos(1024x768)=602,479,1144,860\r\n"
              "NormPos=602,479,1144,860\r\n"
              "Visible=0\r\n");
    // clang-format on
    EXPECT_TRUE(s.errors.empty());
}

TEST_F(WindowPlacementStoreTest, PlacementComesBackInTheNextRun)
{
    struct Case {
        const char* what;
        std::function<void(ScriptedWindow&)> configure;  // both runs
        std::function<void(ScriptedWindow&)> use;        // the first run, before closing
        const char* showCmd;
        Rect normal;
        WindowState state;
        int minimizeRequests;
    };
    const Rect moved = Rect(100, 50, 800, 600);
    const Case cases[] = {
        {"moved and resized", {}, [&](ScriptedWindow& w) { w.normal = moved; }, "1", moved, WindowState::normal, 0},
        {"maximised",
         {},
         [&](ScriptedWindow& w) {
             w.normal = moved;
             w.state = WindowState::maximized;
         },
         "3",
         moved,
         WindowState::maximized,
         0},
        {"application minimised",
         {},
         [&](ScriptedWindow& w) {
             w.normal = moved;
             w.appMinimized = true;
         },
         "2",
         moved,
         WindowState::normal,
         1},
        {"window minimised, not the main window", [](ScriptedWindow& w) { w.mainForm = false; },
         [&](ScriptedWindow& w) {
             w.normal = moved;
             w.state = WindowState::minimized;
         },
         "2", moved, WindowState::minimized, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(iniPath());
        firstRun(c.use, c.configure);
        EXPECT_EQ(key("ShowCmd"), c.showCmd);
        EXPECT_EQ(key("NormPos"), numbers(moved.left, moved.top, moved.right, moved.bottom));

        Session next(c.configure);
        next.show();
        EXPECT_EQ(next.window.normal, c.normal);
        EXPECT_EQ(next.window.state, c.state);
        EXPECT_EQ(next.window.minimizeRequests, c.minimizeRequests);
        EXPECT_TRUE(next.store.restored());
    }
}

TEST_F(WindowPlacementStoreTest, StoredVersionBelowTheStoresVersionRestoresNothing)
{
    struct Case {
        int version;
        const char* stored;
        bool restores;
    };
    const Case cases[] = {
        {0, "-1", false}, {0, "0", true},    {1, "0", false},  {1, "1", true},
        {1, "2", true},   {0, "junk", true}, {1, "0x1", true}, {5, "junk", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("Version ") + std::to_string(c.version) + ", FormVersion=" + c.stored);
        std::filesystem::remove(iniPath());
        firstRun([](ScriptedWindow& w) {
            w.normal = Rect(10, 20, 400, 300);
            w.state = WindowState::maximized;
        });
        setKey("FormVersion", c.stored);

        Session next;
        next.store.setVersion(c.version);
        next.window.frame = {8, 6};
        next.show();
        EXPECT_TRUE(next.store.restored());
        EXPECT_EQ(next.window.normal, c.restores ? Rect(10, 20, 400, 300) : Rect(602, 479, 1144, 860));
        EXPECT_EQ(next.window.state, c.restores ? WindowState::maximized : WindowState::normal);
        EXPECT_EQ(next.window.maxPosition, (Point{-8, -6})) << "the maximised position is set either way";
        next.end();
        EXPECT_EQ(key("FormVersion"), std::to_string(c.version));
    }
}

TEST_F(WindowPlacementStoreTest, OtherPixelsPerInchIgnoresThePositionButKeepsTheState)
{
    firstRun([](ScriptedWindow& w) {
        w.normal = Rect(10, 20, 400, 300);
        w.state = WindowState::maximized;
    });
    EXPECT_EQ(key("PixelsPerInch"), "96");
    Session next([](ScriptedWindow& w) { w.dpi = 120; });
    next.show();
    EXPECT_EQ(next.window.normal, Rect(602, 479, 1144, 860));
    EXPECT_EQ(next.window.state, WindowState::maximized);
    next.end();
    EXPECT_EQ(key("PixelsPerInch"), "120");
}

TEST_F(WindowPlacementStoreTest, EachScreenSizeKeepsItsOwnPlacementAndPlainKeysServeNewOnes)
{
    const Rect a = Rect(10, 10, 500, 400), b = Rect(300, 200, 1200, 900);
    auto screen = [](int w, int h) { return [=](ScriptedWindow& win) { win.screen = {w, h}; }; };

    firstRun([&](ScriptedWindow& w) { w.normal = a; }, screen(1024, 768));
    {
        Session s(screen(1280, 1024));
        s.show();
        EXPECT_EQ(s.window.normal, a) << "a new size uses the plain keys";
        s.window.normal = b;
        s.end();
    }
    EXPECT_EQ(key("NormPos(1024x768)"), numbers(a.left, a.top, a.right, a.bottom));
    EXPECT_EQ(key("NormPos(1280x1024)"), numbers(b.left, b.top, b.right, b.bottom));
    EXPECT_EQ(key("NormPos"), numbers(b.left, b.top, b.right, b.bottom));

    Session back(screen(1024, 768));
    back.show();
    EXPECT_EQ(back.window.normal, a) << "the old size finds its own keys";
    Session other(screen(1600, 900));
    other.show();
    EXPECT_EQ(other.window.normal, b);
}

TEST_F(WindowPlacementStoreTest, HandWrittenPlainKeysAreEnough)
{
    setKey("NormPos", "20,30,420,330");
    Session s;
    s.show();
    EXPECT_EQ(s.window.normal, Rect(20, 30, 420, 330));
}

TEST_F(WindowPlacementStoreTest, StoredRectangleIsReadWordByWord)
{
    struct Case {
        const char* normPos;
        const char* minMaxPos;  // nullptr: absent
        bool sizeable;
        Rect normal;  // after the restore
        Point minPosition;
        bool centeredAfter;  // the window was centred before
    };
    const Rect designed = Rect(602, 479, 1144, 860);
    const Case cases[] = {
        {"10,20,30,40", nullptr, true, Rect(10, 20, 30, 40), {-1, -1}, false},
        {" 10 , 20 , 30 , 40 ", nullptr, true, Rect(10, 20, 30, 40), {-1, -1}, false},
        {"10,20,30,40,50", nullptr, true, Rect(10, 20, 30, 40), {-1, -1}, false},
        {"10,20", nullptr, true, Rect(10, 20, 1144, 860), {-1, -1}, false},
        {"a,b,c,d", nullptr, true, designed, {-1, -1}, false},
        {"0x10,0x20,0x300,0x200", nullptr, true, Rect(16, 32, 768, 512), {-1, -1}, false},
        {"500,100,500,400", nullptr, true, designed, {-1, -1}, true},
        {"600,100,500,400", nullptr, true, designed, {-1, -1}, true},
        {"500,100,501,400", nullptr, true, Rect(500, 100, 501, 400), {-1, -1}, false},
        {"10,20,900,900", nullptr, false, Rect(10, 20, 552, 401), {-1, -1}, false},
        {"600,100,500,400", nullptr, false, Rect(600, 100, 1142, 481), {-1, -1}, false},
        {"2147483600,0,0,0", nullptr, false, Rect(2147483600, 0, INT_MAX, 381), {-1, -1}, false},
        {nullptr, "7", true, designed, {7, 0}, false},
        {nullptr, "5,6,7,8", true, designed, {5, 6}, false},
        {nullptr, ",,,", true, designed, {0, 0}, false},
        {nullptr, nullptr, true, designed, {-1, -1}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("NormPos=") + (c.normPos ? c.normPos : "-") +
                     " MinMaxPos=" + (c.minMaxPos ? c.minMaxPos : "-") + (c.sizeable ? "" : " fixed border"));
        std::filesystem::remove(iniPath());
        if (c.normPos)
            setKey("NormPos", c.normPos);
        if (c.minMaxPos)
            setKey("MinMaxPos", c.minMaxPos);
        Session s([&](ScriptedWindow& w) {
            w.sizeable = c.sizeable;
            w.isCentered = true;
        });
        s.show();
        EXPECT_EQ(s.window.normal, c.normal);
        EXPECT_EQ(s.window.minPosition, c.minPosition);
        EXPECT_EQ(s.window.isCentered, c.centeredAfter);
    }
}

TEST_F(WindowPlacementStoreTest, OptionsChooseWhatIsRestored)
{
    struct Case {
        unsigned options;
        bool position, state;
    };
    const Case cases[] = {
        {fpState | fpPosition, true, true},
        {fpPosition, true, false},
        {fpState, false, true},
        {0, false, false},
    };
    firstRun([](ScriptedWindow& w) {
        w.normal = Rect(10, 20, 400, 300);
        w.state = WindowState::maximized;
    });
    for (const Case& c : cases) {
        Session s;
        s.store.setOptions(c.options);
        s.show();
        EXPECT_EQ(s.window.normal, c.position ? Rect(10, 20, 400, 300) : Rect(602, 479, 1144, 860)) << c.options;
        EXPECT_EQ(s.window.state, c.state ? WindowState::maximized : WindowState::normal) << c.options;
    }
}

TEST_F(WindowPlacementStoreTest, ShowCommandMapsToTheWindowState)
{
    struct Case {
        const char* showCmd;
        WindowState state;
    };
    using S = WindowState;
    const Case cases[] = {
        {"0", S::normal},  {"1", S::normal},    {"2", S::minimized}, {"3", S::maximized},   {"4", S::normal},
        {"5", S::normal},  {"6", S::minimized}, {"7", S::minimized}, {"8", S::normal},      {"9", S::normal},
        {"10", S::normal}, {"-3", S::normal},   {"x", S::normal},    {"0x3", S::maximized},
    };
    for (const Case& c : cases) {
        setKey("ShowCmd", c.showCmd);
        Session s([](ScriptedWindow& w) { w.mainForm = false; });
        s.show();
        EXPECT_EQ(s.window.state, c.state) << "ShowCmd=" << c.showCmd;

        Session main;
        main.show();
        const bool minimised = c.state == S::minimized;
        EXPECT_EQ(main.window.state, minimised ? S::normal : c.state) << "ShowCmd=" << c.showCmd;
        EXPECT_EQ(main.window.minimizeRequests, minimised ? 1 : 0) << "ShowCmd=" << c.showCmd;
    }
}

TEST_F(WindowPlacementStoreTest, UnknownShowCommandGivesTheDesignedState)
{
    setKey("ShowCmd", "0");
    Session s([](ScriptedWindow& w) { w.state = WindowState::maximized; });
    s.window.state = WindowState::normal;  // changed after the window was built
    s.show();
    EXPECT_EQ(s.window.state, WindowState::maximized);
}

TEST_F(WindowPlacementStoreTest, StoredFlagsReplaceTheWindowsFlags)
{
    setKey("NormPos", "1,2,300,400");
    Session keep([](ScriptedWindow& w) { w.flags = 4; });
    keep.show();
    EXPECT_EQ(keep.window.flags, 4);
    setKey("Flags", "2");
    Session stored([](ScriptedWindow& w) { w.flags = 4; });
    stored.show();
    EXPECT_EQ(stored.window.flags, 2);
}

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
    s.store.restoreWindowPlacement();
    ASSERT_FALSE(s.window.applied.empty());
    EXPECT_EQ(s.window.applied.back().showCmd, swShowMaximized);
}

TEST_F(WindowPlacementStoreTest, HooksRunAroundTheWindowsOwnHandlers)
{
    ScriptedWindow w;
    std::unique_ptr<WindowSettingsStore> store;
    std::vector<std::string> log;
    w.events.onShow = [&] { log.push_back(std::string("show, restored ") + (store->restored() ? "yes" : "no")); };
    w.events.onCloseQuery = [&](bool&) {
        log.push_back(std::string("close-query, file ") + (std::filesystem::exists(iniPath()) ? "yes" : "no"));
    };
    w.events.onDestroy = [&] { log.push_back("destroy, Visible=" + key("Visible")); };
    // Attached as the window is built: after the window has its own handlers.
    store = newStore(w);
    store->attachToWindow();
    w.show();
    ASSERT_TRUE(w.close());
    EXPECT_TRUE(store->saved());
    w.destroy();
    const std::vector<std::string> expected = {"show, restored yes", "close-query, file no", "destroy, Visible=0"};
    EXPECT_EQ(log, expected);
}

TEST_F(WindowPlacementStoreTest, DestroyWithoutASavedCloseSavesWithVisibleOne)
{
    ScriptedWindow w;
    std::string visibleSeenByWindow;
    w.events.onDestroy = [&] { visibleSeenByWindow = key("Visible"); };
    auto store = newStore(w);
    store->attachToWindow();
    w.show();
    w.destroy();
    EXPECT_EQ(visibleSeenByWindow, "1") << "the store saves before the window's own destroy handler";
    EXPECT_FALSE(store->destroying());
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
        w.events.onCloseQuery = [&](bool& canClose) { canClose = c.allowClose; };
        auto store = newStore(w);
        store->attachToWindow();
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
    s.store.saveWindowPlacement();
    s.window.destroy();
    EXPECT_FALSE(std::filesystem::exists(iniPath()));
    EXPECT_FALSE(s.store.saved());
}

TEST_F(WindowPlacementStoreTest, InactiveStoreNeitherRestoresNorSavesThroughTheHooks)
{
    setKey("NormPos", "1,2,300,400");
    const std::string before = text(iniPath());
    Session s;
    s.store.setActive(false);
    s.show();
    EXPECT_EQ(s.window.normal, Rect(602, 479, 1144, 860));
    EXPECT_FALSE(s.store.restored());
    s.end();
    EXPECT_EQ(text(iniPath()), before);

    s.store.saveWindowPlacement();  // called directly it saves without a restore
    EXPECT_EQ(key("NormPos"), "602,479,1144,860");
}

TEST_F(WindowPlacementStoreTest, UnwritableSettingsFolderReportsOnCloseAndAgainOnDestroy)
{
    abm::test::writeFile(dir / "plain", {'x'});
    env.set("XDG_CONFIG_HOME", dir / "plain/config");
    ScriptedWindow w;
    bool ownDestroyRan = false;
    w.events.onDestroy = [&] { ownDestroyRan = true; };
    std::vector<std::string> errors;
    auto store = newStore(w, &errors);
    store->attachToWindow();

    w.show();
    EXPECT_TRUE(errors.empty()) << "reading never fails";
    EXPECT_TRUE(w.close()) << "the window still closes";
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Unable to write to abmmaker.INI");
    w.destroy();
    EXPECT_TRUE(ownDestroyRan);
    EXPECT_FALSE(store->destroying());
    const std::vector<std::string> twice(2, "Unable to write to abmmaker.INI");
    EXPECT_EQ(errors, twice);
}

TEST_F(WindowPlacementStoreTest, FailingRestoreIsReportedAndTheWindowStillOpens)
{
    ScriptedWindow w;
    bool ownShowRan = false;
    w.events.onShow = [&] { ownShowRan = true; };
    w.refusePlacement = true;
    std::vector<std::string> errors;
    auto store = newStore(w, &errors);
    store->attachToWindow();
    w.show();
    EXPECT_TRUE(ownShowRan);
    EXPECT_EQ(errors, std::vector<std::string>{"placement refused"});
    EXPECT_TRUE(w.isShown);
}

TEST_F(WindowPlacementStoreTest, GoneStoreGivesTheWindowItsOwnHandlersBack)
{
    ScriptedWindow w;
    int ownShows = 0;
    w.events.onShow = [&] { ++ownShows; };
    {
        auto store = newStore(w);
        store->attachToWindow();
        store->attachToWindow();  // a second attach must not chain the store to itself
        w.show();
        EXPECT_EQ(ownShows, 1);
        EXPECT_EQ(w.applied.size(), 1u) << "restored once";
    }
    w.show();
    EXPECT_EQ(ownShows, 2);
    EXPECT_FALSE(w.events.onDestroy);
}

}  // namespace
