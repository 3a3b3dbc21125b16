// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The bitmap loader and the picture control: colour tables, pixel layout, hostile data, drawing.
#include "controls/CDib.h"
#include "controls/CPictureStatic.h"
#include "res/ResourceInit.h"

#include <QtCore/QtEndian>
#include <QtTest/QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QFrame>
#include <climits>
#include <functional>

namespace {

// One bitmap to encode. Rows are in picture order, top first, whatever the header's sign.
struct DibSpec {
    qint32 width = 0;
    qint32 height = 0;
    quint16 bitCount = 8;
    quint32 compression = 0;
    quint32 clrUsed = 0;
    QList<quint32> masks;   // written after the header when not empty
    QList<QRgb> colours;    // written as blue, green, red, reserved
    QList<QList<int>> rows; // colour indexes
};

void Put16(QByteArray& out, quint16 v) {
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}
void Put32(QByteArray& out, quint32 v) {
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}
void Patch32(QByteArray& data, int offset, quint32 v) {
    qToLittleEndian(v, data.data() + offset);
}
void Patch16(QByteArray& data, int offset, quint16 v) {
    qToLittleEndian(v, data.data() + offset);
}

// The resource body: info header, masks, colour table, bits (rows padded to 4 bytes with junk).
QByteArray EncodeDib(const DibSpec& s) {
    QByteArray out;
    const int rowCount = int(s.rows.size());
    const int stride = (s.width * s.bitCount + 31) / 32 * 4;
    Put32(out, 40);
    Put32(out, quint32(s.width));
    Put32(out, quint32(s.height));
    Put16(out, 1);
    Put16(out, s.bitCount);
    Put32(out, s.compression);
    Put32(out, quint32(stride * rowCount));
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, s.clrUsed);
    Put32(out, 0);
    for (quint32 m : s.masks)
        Put32(out, m);
    for (QRgb c : s.colours) {
        out.append(char(qBlue(c)));
        out.append(char(qGreen(c)));
        out.append(char(qRed(c)));
        out.append(char(0x77)); // reserved: must not turn into alpha
    }
    for (int stored = 0; stored < rowCount; ++stored) {
        const QList<int>& row = s.rows[s.height > 0 ? rowCount - 1 - stored : stored];
        QByteArray bytes(stride, char(0xFF));
        for (int x = 0; x < s.width; ++x) {
            const int bitPos = x * s.bitCount;
            uchar& b = reinterpret_cast<uchar&>(bytes[bitPos / 8]);
            const int shift = 8 - s.bitCount - bitPos % 8;
            const int mask = ((1 << s.bitCount) - 1) << shift;
            b = uchar((b & ~mask) | (row[x] << shift));
        }
        out.append(bytes);
    }
    return out;
}

// Distinct colours for every index below 256 (7 is odd, so red alone tells them apart).
QRgb TestColour(int i) {
    return qRgb((i * 7) % 256, (i * 13 + 50) % 256, (255 - i * 3 + 768) % 256);
}

QList<QRgb> TestColours(int count) {
    QList<QRgb> list;
    for (int i = 0; i < count; ++i)
        list.append(TestColour(i));
    return list;
}

// Index at (x, y): different along both axes, so a flipped or shifted row shows.
int Pattern(int x, int y, int colours) {
    return (x * 3 + y * 5 + 1) % colours;
}

DibSpec PatternSpec(int width, int height, quint16 bitCount, int tableSize, quint32 clrUsed) {
    DibSpec s;
    s.width = width;
    s.height = height;
    s.bitCount = bitCount;
    s.clrUsed = clrUsed;
    s.colours = TestColours(tableSize);
    const int rows = height < 0 ? -height : height;
    for (int y = 0; y < rows; ++y) {
        QList<int> row;
        for (int x = 0; x < width; ++x)
            row.append(Pattern(x, y, tableSize));
        s.rows.append(row);
    }
    return s;
}

void VerifyPattern(const CDib& dib, int colours) {
    const QImage& image = dib.GetImage();
    QCOMPARE(image.size(), QSize(dib.GetWidth(), dib.GetHeight()));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            QCOMPARE(image.pixel(x, y), TestColour(Pattern(x, y, colours)));
}

QImage Grab(QWidget& w) {
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// What a frame of the same look and size paints with no picture in it.
QImage GrabPlainFrame(const QFrame& like) {
    QFrame plain;
    plain.setFrameStyle(like.frameStyle());
    plain.setLineWidth(like.lineWidth());
    plain.resize(like.size());
    return Grab(plain);
}

} // namespace

class DibTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { InitFernwickResources(); }

    // --- Decoding ---------------------------------------------------------------------------

    void emptyAfterConstruction() {
        CDib dib;
        QVERIFY(dib.IsEmpty());
        QCOMPARE(dib.GetWidth(), 0);
        QCOMPARE(dib.GetHeight(), 0);
        QCOMPARE(dib.GetColourCount(), 0);
        QVERIFY(dib.GetPalette().isEmpty());
        QVERIFY(dib.GetImage().isNull());
        QCOMPARE(dib.GetMask(0), 0u);
    }

    void handBuiltBytesAreBottomUp() {
        // 3x2, 4 bits per pixel, written byte by byte so the encoder's view plays no part.
        QByteArray data;
        Put32(data, 40);
        Put32(data, 3);
        Put32(data, 2);
        Put16(data, 1);
        Put16(data, 4);
        data.append(QByteArray(24, '\0'));
        for (int i = 0; i < 16; ++i) {
            const char quad[4] = {char(0x10 + i), char(0x20 + i), char(0x30 + i), 0};
            data.append(quad, 4);
        }
        const char bits[8] = {0x12, 0x30, 0, 0, 0x45, 0x60, 0, 0}; // first stored row = bottom
        data.append(bits, 8);

        CDib dib;
        QVERIFY(dib.LoadFromData(data));
        QCOMPARE(dib.GetWidth(), 3);
        QCOMPARE(dib.GetHeight(), 2);
        QCOMPARE(dib.GetColourCount(), 16);
        QCOMPARE(dib.GetPalette().at(1), qRgb(0x31, 0x21, 0x11));
        const QImage& image = dib.GetImage();
        QCOMPARE(image.pixel(0, 1), qRgb(0x31, 0x21, 0x11));
        QCOMPARE(image.pixel(1, 1), qRgb(0x32, 0x22, 0x12));
        QCOMPARE(image.pixel(2, 1), qRgb(0x33, 0x23, 0x13));
        QCOMPARE(image.pixel(0, 0), qRgb(0x34, 0x24, 0x14));
        QCOMPARE(image.pixel(2, 0), qRgb(0x36, 0x26, 0x16));
    }

    void sixteenColourFourBit() {
        CDib dib;
        QVERIFY(dib.LoadFromData(EncodeDib(PatternSpec(7, 5, 4, 16, 0))));
        QCOMPARE(dib.GetWidth(), 7);
        QCOMPARE(dib.GetHeight(), 5);
        QCOMPARE(dib.GetBitCount(), 4);
        QCOMPARE(dib.GetColourCount(), 16);
        QCOMPARE(dib.GetColourUsage(), 0);
        QCOMPARE(dib.GetPalette(), TestColours(16));
        QCOMPARE(dib.GetMask(0), 0u);
        VerifyPattern(dib, 16);
    }

    void twoFiftySixColourEightBit() {
        CDib dib;
        QVERIFY(dib.LoadFromData(EncodeDib(PatternSpec(13, 9, 8, 256, 0))));
        QCOMPARE(dib.GetColourCount(), 256);
        QCOMPARE(dib.GetPalette().size(), 256);
        QCOMPARE(dib.GetPalette().at(255), TestColour(255));
        QVERIFY(!dib.IsEmpty());
        VerifyPattern(dib, 256);
    }

    void usedColoursShortenTheTable() {
        // 5 colours: the bits start 20 bytes after the header, not 1024.
        CDib dib;
        QVERIFY(dib.LoadFromData(EncodeDib(PatternSpec(6, 4, 8, 5, 5))));
        QCOMPARE(dib.GetColourCount(), 5);
        QCOMPARE(dib.GetPalette(), TestColours(5));
        VerifyPattern(dib, 5);

        CDib four;
        QVERIFY(four.LoadFromData(EncodeDib(PatternSpec(9, 3, 4, 11, 11))));
        QCOMPARE(four.GetColourCount(), 11);
        VerifyPattern(four, 11);
    }

    void twoColourOneBit() {
        // 11 pixels wide: a row spills into a second byte and is padded to four.
        CDib dib;
        QVERIFY(dib.LoadFromData(EncodeDib(PatternSpec(11, 6, 1, 2, 0))));
        QCOMPARE(dib.GetColourCount(), 2);
        QCOMPARE(dib.GetPalette(), TestColours(2));
        VerifyPattern(dib, 2);
    }

    void negativeHeightIsTopDown() {
        CDib dib;
        QVERIFY(dib.LoadFromData(EncodeDib(PatternSpec(5, -4, 8, 256, 0))));
        QCOMPARE(dib.GetHeight(), 4);
        QCOMPARE(dib.GetImage().height(), 4);
        VerifyPattern(dib, 256);
    }

    void bitFieldsMoveTheColourTable() {
        DibSpec s = PatternSpec(4, 3, 8, 256, 0);
        s.compression = 3;
        s.masks = {0x00FF0000u, 0x0000FF00u, 0x000000FFu};
        CDib dib;
        QVERIFY(dib.LoadFromData(EncodeDib(s)));
        QCOMPARE(dib.GetMask(0), 0x00FF0000u);
        QCOMPARE(dib.GetMask(1), 0x0000FF00u);
        QCOMPARE(dib.GetMask(2), 0x000000FFu);
        QCOMPARE(dib.GetMask(3), 0u);
        // Read from the wrong place, entry 0 would be made of mask bytes.
        QCOMPARE(dib.GetPalette(), TestColours(256));
        VerifyPattern(dib, 256);

        // Without the masks the same header is 12 bytes short of its bits.
        s.masks.clear();
        QVERIFY(!dib.LoadFromData(EncodeDib(s)));
        QVERIFY(dib.IsEmpty());
    }

    void pixelsPastAShortTableDrawBlack() {
        DibSpec s = PatternSpec(3, 1, 4, 2, 2);
        s.rows = {{0, 15, 1}};
        CDib dib;
        QVERIFY(dib.LoadFromData(EncodeDib(s)));
        QCOMPARE(dib.GetPalette().size(), 2);
        QCOMPARE(dib.GetImage().pixel(0, 0), TestColour(0));
        QCOMPARE(dib.GetImage().pixel(1, 0), qRgb(0, 0, 0));
        QCOMPARE(dib.GetImage().pixel(2, 0), TestColour(1));
    }

    // --- Refusals ---------------------------------------------------------------------------

    void refusesEveryTruncation() {
        const QByteArray whole = EncodeDib(PatternSpec(5, 3, 4, 16, 0));
        CDib dib;
        for (qsizetype cut = 0; cut < whole.size(); ++cut) {
            // Each prefix as its own allocation, so reading past it is a real overrun.
            const QByteArray part(whole.constData(), cut);
            QVERIFY2(!dib.LoadFromData(part), qPrintable(QString::number(cut)));
            QVERIFY(dib.IsEmpty());
            QVERIFY(dib.GetImage().isNull());
        }
        QVERIFY(dib.LoadFromData(whole));
    }

    void refusesBadHeaders_data() {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("width"); // 2 or 4 bytes
        QTest::addColumn<quint32>("value");
        QTest::newRow("core header size") << 0 << 4 << 12u;
        QTest::newRow("v5 header size") << 0 << 4 << 124u;
        QTest::newRow("zero width") << 4 << 4 << 0u;
        QTest::newRow("negative width") << 4 << 4 << quint32(-3);
        QTest::newRow("huge width") << 4 << 4 << 0x7FFFFFFFu;
        QTest::newRow("zero height") << 8 << 4 << 0u;
        QTest::newRow("most negative height") << 8 << 4 << 0x80000000u;
        QTest::newRow("huge height") << 8 << 4 << 0x7FFFFFFFu;
        QTest::newRow("no planes") << 12 << 2 << 0u;
        QTest::newRow("two planes") << 12 << 2 << 2u;
        QTest::newRow("0 bits") << 14 << 2 << 0u;
        QTest::newRow("2 bits") << 14 << 2 << 2u;
        QTest::newRow("16 bits") << 14 << 2 << 16u;
        QTest::newRow("24 bits") << 14 << 2 << 24u;
        QTest::newRow("32 bits") << 14 << 2 << 32u;
        QTest::newRow("RLE8") << 16 << 4 << 1u;
        QTest::newRow("RLE4") << 16 << 4 << 2u;
        QTest::newRow("JPEG") << 16 << 4 << 4u;
        QTest::newRow("257 colours") << 32 << 4 << 257u;
        QTest::newRow("4G colours") << 32 << 4 << 0xFFFFFFFFu;
    }

    void refusesBadHeaders() {
        QFETCH(int, offset);
        QFETCH(int, width);
        QFETCH(quint32, value);
        QByteArray data = EncodeDib(PatternSpec(6, 4, 8, 256, 0));
        CDib dib;
        QVERIFY(dib.LoadFromData(data)); // the untouched bitmap is fine
        if (width == 2)
            Patch16(data, offset, quint16(value));
        else
            Patch32(data, offset, value);
        QVERIFY(!dib.LoadFromData(data));
        QVERIFY(dib.IsEmpty());
        QCOMPARE(dib.GetWidth(), 0);
        QVERIFY(dib.GetPalette().isEmpty());
    }

    void refusesBitsOneByteShort() {
        const QByteArray whole = EncodeDib(PatternSpec(6, 4, 1, 2, 0));
        CDib dib;
        QVERIFY(!dib.LoadFromData(whole.left(whole.size() - 1)));
        // Taller than the bits present.
        QByteArray taller = whole;
        Patch32(taller, 8, 5);
        QVERIFY(!dib.LoadFromData(taller));
        QVERIFY(dib.LoadFromData(whole));
    }

    void failedLoadClearsTheOldPicture() {
        CDib dib;
        QVERIFY(dib.LoadFromData(EncodeDib(PatternSpec(4, 4, 8, 256, 0))));
        QVERIFY(!dib.LoadFromData(QByteArray("not a bitmap at all")));
        QVERIFY(dib.IsEmpty());
        QVERIFY(dib.GetImage().isNull());
        QCOMPARE(dib.GetColourCount(), 0);
    }

    void garbageNeverCrashes() {
        // Fixed seed: random bytes behind a header that is mostly plausible, so the deeper
        // checks get exercised too.
        quint32 state = 12345;
        auto next = [&state] {
            state = state * 1664525u + 1013904223u;
            return state >> 8;
        };
        CDib dib;
        int loaded = 0;
        for (int round = 0; round < 3000; ++round) {
            QByteArray data(int(next() % 1200), '\0');
            for (char& c : data)
                c = char(next());
            if (data.size() >= 40 && round % 4 != 0) {
                Patch32(data, 0, 40);
                Patch16(data, 12, 1);
                const quint16 depths[] = {1, 4, 8};
                Patch16(data, 14, depths[next() % 3]);
                Patch32(data, 4, next() % 40);
                Patch32(data, 8, quint32(int(next() % 40) - 20));
                Patch32(data, 16, next() % 2 ? 0u : 3u);
                Patch32(data, 32, next() % 300);
            }
            if (dib.LoadFromData(data)) {
                ++loaded;
                QVERIFY(dib.GetColourCount() >= 1 && dib.GetColourCount() <= 256);
                QCOMPARE(dib.GetPalette().size(), dib.GetColourCount());
                QCOMPARE(dib.GetImage().size(), QSize(dib.GetWidth(), dib.GetHeight()));
            } else {
                QVERIFY(dib.IsEmpty());
            }
        }
        QVERIFY(loaded > 0); // some rounds were valid, so the decoding ran as well
    }

    // --- Compiled-in pictures ---------------------------------------------------------------

    void realResourcesLoad_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("colours");
        QTest::newRow("145") << 145 << QSize(100, 170) << 8 << 256;
        QTest::newRow("154") << 154 << QSize(105, 190) << 8 << 256;
        QTest::newRow("161") << 161 << QSize(149, 154) << 8 << 256;
        QTest::newRow("166") << 166 << QSize(173, 71) << 4 << 16;
    }

    void realResourcesLoad() {
        QFETCH(int, id);
        QFETCH(QSize, size);
        QFETCH(int, bits);
        QFETCH(int, colours);
        CDib dib;
        QVERIFY(dib.Load(id));
        QCOMPARE(QSize(dib.GetWidth(), dib.GetHeight()), size);
        QCOMPARE(dib.GetImage().size(), size);
        QCOMPARE(dib.GetBitCount(), bits);
        QCOMPARE(dib.GetColourCount(), colours);
        QCOMPARE(dib.GetPalette().size(), colours);
    }

    void missingResourceLeavesItEmpty() {
        CDib dib;
        QVERIFY(dib.Load(166));
        QVERIFY(!dib.Load(9999));
        QVERIFY(dib.IsEmpty());
        QVERIFY(dib.GetImage().isNull());
        QCOMPARE(dib.GetWidth(), 0);
        QCOMPARE(dib.GetHeight(), 0);
        QVERIFY(dib.GetPalette().isEmpty());
    }

    // --- The picture control ----------------------------------------------------------------

    void controlWithoutPicturePaintsNothing() {
        for (int style : {int(QFrame::NoFrame), int(QFrame::Panel | QFrame::Sunken)}) {
            CPictureStatic never;
            never.setFrameStyle(style);
            never.resize(60, 40);
            QCOMPARE(Grab(never), GrabPlainFrame(never));

            CPictureStatic missing;
            missing.setFrameStyle(style);
            QVERIFY(!missing.LoadBitmap(9999));
            QVERIFY(missing.GetDib().IsEmpty());
            missing.resize(60, 40);
            QCOMPARE(Grab(missing), GrabPlainFrame(missing));
        }
    }

    void controlPaintsAtNaturalSizeTopLeft() {
        CPictureStatic pic;
        QVERIFY(pic.LoadBitmapData(EncodeDib(PatternSpec(6, 4, 8, 256, 0))));
        QCOMPARE(pic.sizeHint(), QSize(6, 4));
        pic.resize(30, 20); // room to spare: a stretched picture would fill it
        const QImage shot = Grab(pic);
        const QImage plain = GrabPlainFrame(pic);
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 30; ++x) {
                const QRgb want =
                    x < 6 && y < 4 ? TestColour(Pattern(x, y, 256)) : plain.pixel(x, y);
                QCOMPARE(shot.pixel(x, y), want | 0xFF000000u);
            }
        }
    }

    void sunkenFrameSurroundsThePicture() {
        CPictureStatic pic;
        pic.setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pic.setLineWidth(2);
        QVERIFY(pic.LoadBitmapData(EncodeDib(PatternSpec(5, 3, 4, 16, 0))));
        const int fw = pic.frameWidth();
        QVERIFY(fw > 0);
        QCOMPARE(pic.sizeHint(), QSize(5 + 2 * fw, 3 + 2 * fw));
        pic.resize(pic.sizeHint());
        const QImage shot = Grab(pic);
        const QImage plain = GrabPlainFrame(pic);
        const QPoint origin = pic.contentsRect().topLeft();
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                QCOMPARE(shot.pixel(origin + QPoint(x, y)),
                         TestColour(Pattern(x, y, 16)) | 0xFF000000u);
        // The frame itself is untouched.
        QCOMPARE(shot.pixel(0, 0), plain.pixel(0, 0));
        QCOMPARE(shot.pixel(shot.width() - 1, shot.height() - 1),
                 plain.pixel(plain.width() - 1, plain.height() - 1));
    }

    void controlShowsACompiledInPicture() {
        CPictureStatic pic;
        QVERIFY(pic.LoadBitmap(166));
        const QImage& image = pic.GetDib().GetImage();
        QCOMPARE(pic.sizeHint(), image.size());
        pic.resize(image.size() + QSize(10, 10));
        const QImage shot = Grab(pic);
        const QPoint probes[] = {{0, 0}, {172, 0}, {0, 70}, {172, 70}, {86, 35}, {13, 57}};
        for (QPoint p : probes)
            QCOMPARE(shot.pixel(p), image.pixel(p) | 0xFF000000u);
    }

    void failedLoadBlanksTheControl() {
        CPictureStatic pic;
        QVERIFY(pic.LoadBitmap(166));
        QVERIFY(!pic.LoadBitmap(9999));
        pic.resize(60, 40);
        QCOMPARE(Grab(pic), GrabPlainFrame(pic));
    }
};

QTEST_MAIN(DibTest)
#include "DibTest.moc"
