// What the placement store writes and what it brings back in the next run.

#include "WindowPlacementStoreFixture.h"

using namespace abm;
using namespace abm::test;

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
    }
}

TEST_F(WindowPlacementStoreTest, StoredVersionBelowZeroRestoresNothing)
{
    const std::pair<const char*, bool> cases[] = {
        {"-1", false}, {"0", true}, {"2", true}, {"junk", true}, {"0x1", true}};
    for (const auto& [stored, restores] : cases) {
        SCOPED_TRACE(std::string("FormVersion=") + stored);
        std::filesystem::remove(iniPath());
        firstRun([](ScriptedWindow& w) {
            w.normal = Rect(10, 20, 400, 300);
            w.state = WindowState::maximized;
        });
        setKey("FormVersion", stored);

        Session next;
        next.window.frame = {8, 6};
        next.show();
        EXPECT_EQ(next.window.normal, restores ? Rect(10, 20, 400, 300) : Rect(602, 479, 1144, 860));
        EXPECT_EQ(next.window.state, restores ? WindowState::maximized : WindowState::normal);
        EXPECT_EQ(next.window.maxPosition, (Point{-8, -6})) << "the maximised position is set either way";
        next.end();
        EXPECT_EQ(key("FormVersion"), "0");
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
        // Past the int range a number is no number: the word's default.
        {"10,20,2147483648,0x100000000", nullptr, true, Rect(10, 20, 1144, 860), {-1, -1}, false},
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
