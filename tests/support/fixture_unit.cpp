// The fixtures that put a simulated unit behind a COM name: the simulator needs a
// pseudo-terminal, so these are built where the simulator is.
#include "tests/support/fixture.h"
#include "link/channel.h"
#include "link/portnames.h"

#include <QFile>
#include <QPushButton>
#include <QTest>

namespace fixture {

std::unique_ptr<sim::Unit> unitOn(int com, const sim::Config& config)
{
    auto unit = std::make_unique<sim::Unit>(config);
    const QString folder = link::portfolder();
    QFile::remove(folder + QLatin1Char('/') + link::comname(com - 1));
    if (!unit->link(com, folder.toStdString()))
        qFatal("cannot link the simulated unit as COM%d", com);
    return unit;
}

void connectWindow(TForm1& form, sim::Unit& unit, int com)
{
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    choosePort(form, com);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QCOMPARE(int(link::area[link::Connected]), 1);
    unit.clearReceived();
}

} // namespace fixture
