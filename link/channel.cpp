#include "link/channel.h"
#include "link/portnames.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSerialPort>

namespace link {

std::uint8_t area[AreaSize] = {};

namespace {

int lastn = 0;

QSerialPort& port()
{
    // Lives for the whole run, like the handle it stands for.
    static QSerialPort* p = [] {
        auto* sp = new QSerialPort;
        // An unplugged adapter or a hung-up line shows up as one of these; left open, the port
        // would flood the event loop with errors.  Closed, everything after reads as silence.
        QObject::connect(sp, &QSerialPort::errorOccurred, sp, [sp](QSerialPort::SerialPortError e) {
            if ((e == QSerialPort::ReadError || e == QSerialPort::ResourceError
                 || e == QSerialPort::WriteError) && sp->isOpen())
                sp->close();
        });
        return sp;
    }();
    return *p;
}

void hangup(QSerialPort& p)
{
    if (p.isOpen())
        p.close();
}

void flush(QSerialPort& p)
{
    QElapsedTimer t;
    t.start();
    // 115200 baud moves about 11.5 bytes a millisecond; allow for a slow adapter besides.
    const qint64 limit = 1000 + p.bytesToWrite();
    while (p.isOpen() && p.bytesToWrite() > 0) {
        const qint64 left = limit - t.elapsed();
        p.clearError();
        if (left <= 0 || !p.waitForBytesWritten(int(left))) {
            if (p.isOpen() && p.error() != QSerialPort::TimeoutError
                && p.error() != QSerialPort::NoError)
                hangup(p);
            break;
        }
    }
}

void discardinput(QSerialPort& p)
{
    p.clear(QSerialPort::Input);
    // Whatever the kernel handed over after the flush is just as stale.
    while (p.isOpen() && (p.bytesAvailable() > 0 || p.waitForReadyRead(0)))
        p.readAll();
}

Opened openport(int index)
{
    const QString path = portname(index);
    if (path.isEmpty())
        return Opened::NoPort;
    QSerialPort& p = port();
    if (p.isOpen())
        p.close();
    p.setPortName(path);
    p.clearError();
    if (p.open(QIODevice::ReadWrite))
        return Opened::Ok;
    switch (p.error()) {
    case QSerialPort::DeviceNotFoundError:
        return Opened::NoPort;
    case QSerialPort::PermissionError:
        return Opened::Busy;
    default:
        return Opened::Failed;
    }
}

} // namespace

Opened open(int index)
{
    const Opened o = openport(index);
    if (o != Opened::Ok)
        return o;
    QSerialPort& p = port();
    // Only these four; flow control and the rest stay as the port has them.
    p.setBaudRate(QSerialPort::Baud115200);
    p.setDataBits(QSerialPort::Data8);
    p.setParity(QSerialPort::NoParity);
    p.setStopBits(QSerialPort::OneStop);
    return o;
}

bool isopen()
{
    return port().isOpen();
}

void sendbyte(std::uint8_t b)
{
    area[SendCell] = b;
    QSerialPort& p = port();
    if (!p.isOpen())
        return;
    discardinput(p);
    p.write(reinterpret_cast<const char*>(&area[SendCell]), 1);
    flush(p);
}

int readinto(std::uint8_t* dst, int n)
{
    lastn = 0;
    QSerialPort& p = port();
    if (!p.isOpen() || n <= 0)
        return 0;
    QElapsedTimer t;
    t.start();
    const qint64 limit = qint64(n) * MsPerByte;
    int got = 0;
    for (;;) {
        const qint64 r = p.read(reinterpret_cast<char*>(dst) + got, n - got);
        if (r < 0) {
            hangup(p);
            break;
        }
        got += int(r);
        if (got >= n)
            break;
        const qint64 left = limit - t.elapsed();
        if (left <= 0)
            break;
        p.clearError();
        if (!p.waitForReadyRead(int(left))) {
            if (!p.isOpen())
                break; // closed by the error handler: the line is gone
            const auto e = p.error();
            if (e != QSerialPort::TimeoutError && e != QSerialPort::NoError) {
                hangup(p);
                break;
            }
            if (e == QSerialPort::NoError && t.elapsed() + 1 < limit) {
                // An early "nothing" without a timeout is how newer Qt reports a hang-up.
                hangup(p);
                break;
            }
        }
    }
    lastn = got;
    return got;
}

std::uint8_t readbyte(bool* arrived)
{
    const int n = readinto(&area[Rx], 1);
    if (arrived)
        *arrived = n == 1;
    return area[Rx];
}

int readimage()
{
    return readinto(&area[Rx], RxSize);
}

int readtelemetry()
{
    return readinto(&area[Rx], TelemetrySize);
}

void writeblock(const std::uint8_t* buf)
{
    QSerialPort& p = port();
    if (!p.isOpen())
        return;
    p.write(reinterpret_cast<const char*>(buf), BlockSize);
    flush(p);
}

bool probe(int index)
{
    // QSerialPort reads the line settings as part of its open: an open that succeeded is a
    // port whose settings could be read.
    const bool present = openport(index) == Opened::Ok;
    closeport();
    return present;
}

QFile& soundfile1()
{
    static QFile f;
    return f;
}

QFile& soundfile2()
{
    static QFile f;
    return f;
}

void closeport()
{
    hangup(port());
}

void closeall()
{
    soundfile1().close();
    soundfile2().close();
    closeport();
}

int lastcount()
{
    return lastn;
}

} // namespace link
