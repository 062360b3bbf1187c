#include "app/appicon.h"

#include <QImage>
#include <QPixmap>
#include <QTest>

class TestAppIcon : public QObject
{
    Q_OBJECT

private slots:
    void drawnSize_data();
    void drawnSize();
    void iconOffersEverySize_data();
    void iconOffersEverySize();
};

namespace {

void addSizeRows(bool windowSizesOnly = false)
{
    QTest::addColumn<int>("size");
    QTest::newRow("16 px, menus and small title bars") << 16;
    QTest::newRow("32 px, title bars on a 2x screen") << 32;
    QTest::newRow("48 px, task bars and launchers") << 48;
    QTest::newRow("64 px, large launchers") << 64;
    if (windowSizesOnly)
        return;
    QTest::newRow("128 px, software centres") << 128;
    QTest::newRow("256 px, the largest rendering") << 256;
}

QString resourcePath(int size)
{
    return QStringLiteral(":/icons/korvo-%1.png").arg(size);
}

} // namespace

void TestAppIcon::drawnSize_data()
{
    addSizeRows();
}

// Each rendering must be the size it is filed under: a mix-up would be scaled silently and look blurred.
// Its corners must be see-through, or the rounded square sits on a white box on dark panels.
void TestAppIcon::drawnSize()
{
    QFETCH(int, size);
    korvo::appIcon(); // registers the resources

    const QImage image(resourcePath(size));
    QVERIFY2(!image.isNull(), qPrintable(resourcePath(size) + " is missing from the resources"));
    QCOMPARE(image.size(), QSize(size, size));
    QVERIFY(image.hasAlphaChannel());
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(size - 1, 0), QPoint(0, size - 1), QPoint(size - 1, size - 1)})
        QCOMPARE(qAlpha(image.pixel(corner)), 0);
    QCOMPARE(qAlpha(image.pixel(size / 2, size / 2)), 255);
}

void TestAppIcon::iconOffersEverySize_data()
{
    addSizeRows(true);
}

void TestAppIcon::iconOffersEverySize()
{
    QFETCH(int, size);
    const QIcon icon = korvo::appIcon();

    QVERIFY(icon.availableSizes().contains(QSize(size, size)));
    const QImage drawn = icon.pixmap(QSize(size, size), 1.0).toImage();
    QCOMPARE(drawn.size(), QSize(size, size));
    // The icon must hand out the rendering made for this size, not a scaled neighbour.
    QCOMPARE(drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied),
             QImage(resourcePath(size)).convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

#include "testmain.h"
KORVO_TEST_MAIN(TestAppIcon)
#include "tst_appicon.moc"
