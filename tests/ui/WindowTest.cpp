// A window that fits the desktop: the design size as the minimum, panes and header controls that
// follow a larger window, size and position kept for the next start, resizing from the edges, and
// start-up messages that name the data folder and its fix.
#include <QtTest>

#include "core/DataPath.h"
#include "support/ShownWindow.h"
#include "support/TempDir.h"
#include "support/UiTestEnv.h"
#include "ui/login/LoginPane.h"
#include "ui/options/OptionsPane.h"
#include "ui/shell/Application.h"
#include "ui/shell/FrameResizer.h"
#include "ui/shell/ImageButton.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/ShellStyle.h"
#include "ui/shell/TabButton.h"
#include "ui/shell/UiText.h"

using namespace quillon;
using namespace quillon::test;

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void PanesAndHeaderFollowTheSize() {
        UiTestEnv env(false);
        MainWindow window(env.Store(), nullptr, nullptr, NoTray());
        QVERIFY(Show(window));
        const QSize design(ShellStyle::kBackgroundWidth + 2, ShellStyle::kBackgroundHeight + 2);
        QCOMPARE(window.minimumSize(), design);
        window.resize(300, 200);  // never below the design size
        QCOMPARE(window.size(), design);
        window.LoginSucceeded();
        OptionsPane* options = window.Options();
        const QRect optionsAtDesign = options->geometry();
        const QRect loginAtDesign = window.Login()->geometry();
        const int tabOffset = window.width() - window.Tab(MainWindow::kTabOptions)->x();

        window.resize(design + QSize(300, 200));
        QTRY_COMPARE(window.size(), design + QSize(300, 200));
        // The options pane grows by the extra room; the login pane (fixed size) stays centred.
        QCOMPARE(options->size(), optionsAtDesign.size() + QSize(300, 200));
        QCOMPARE(options->pos(), optionsAtDesign.topLeft());
        QCOMPARE(window.Login()->size(), loginAtDesign.size());
        QCOMPARE(window.Login()->pos(), loginAtDesign.topLeft() + QPoint(150, 100));
        // The right-hand tabs and the header's buttons keep to the right edge, "SMS" to the left.
        QCOMPARE(window.width() - window.Tab(MainWindow::kTabOptions)->x(), tabOffset);
        QCOMPARE(window.Tab(MainWindow::kTabSms)->x(), 25);
        QCOMPARE(window.findChild<ImageButton*>("closeButton")->x(), window.width() - 1 - 19);
    }

    void SizeAndPositionAreKeptForTheNextStart() {
        UiTestEnv env(false);
        const QRect chosen(40, 30, 900, 700);
        {
            MainWindow window(env.Store(), nullptr, nullptr, NoTray());
            window.setGeometry(chosen);
            QVERIFY(Show(window));
            window.RequestExit();
        }
        MainWindow again(env.Store(), nullptr, nullptr, NoTray());
        QCOMPARE(again.size(), chosen.size());
        QCOMPARE(again.pos(), chosen.topLeft());
    }

    void EdgesResizeWithinTheMinimum() {
        const QRect start(100, 100, 700, 650);
        const QSize minimum(658, 602);
        struct Case {
            Qt::Edges edges;
            QPoint delta;
            QRect expected;
        };
        const Case cases[] = {
            {Qt::RightEdge, {50, 10}, {100, 100, 750, 650}},
            {Qt::BottomEdge | Qt::RightEdge, {-500, 30}, {100, 100, 658, 680}},  // width held at minimum
            {Qt::LeftEdge, {20, 0}, {120, 100, 680, 650}},                       // right edge stays
            {Qt::LeftEdge, {200, 0}, {142, 100, 658, 650}},
            {Qt::TopEdge | Qt::LeftEdge, {-10, -20}, {90, 80, 710, 670}},
        };
        for (const Case& c : cases)
            QCOMPARE(FrameResizer::Resized(start, c.edges, c.delta, minimum), c.expected);
    }

    void DataFolderProblemsNameTheFolderAndTheFix() {
        TempDir dir;
        const std::string missing = dir.Path() + "/not/there";
        struct Case {
            std::string path;
            QString mustContain;  // empty: no problem
        };
        const Case cases[] = {{"", "quillon-cli init DIR"},
                              {"/", "quillon-cli init DIR"},  // too short to be one
                              {missing, QString::fromStdString("quillon-cli init " + missing)},
                              {dir.Path(), QString()}};
        for (const Case& c : cases) {
            const QString problem = DataDirectoryProblem(c.path);
            QVERIFY2(c.mustContain.isEmpty() ? problem.isEmpty() : problem.contains(c.mustContain),
                     qPrintable(problem));
        }
        QVERIFY(DataDirectoryProblem("").startsWith(Text(kTextNoDataPath)));
    }

    // The box with a help link shows no link line without a page (and no bare "?help=N").
    void LinkBoxesWithoutAPageHaveNoLink() {
        UiTestEnv env(false);
        const struct {
            QString url;
            int helpId;
            QString link;
        } cases[] = {{"", 0, ""},
                     {"", 7, ""},
                     {"https://h.example/", 0, "https://h.example/"},
                     {"https://h.example/", 7, "https://h.example/?help=7"}};
        for (const auto& c : cases) {
            env.Messages().Clear();
            ShowLinkMessage(nullptr, "text", "caption", c.url, c.helpId);
            QCOMPARE(env.Messages().Messages().at(0).link, c.link);
        }
    }
};

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
