// The compiled-in resources: the two icons and the Chinese translation.
#include <QDataStream>
#include <QFile>
#include <QIcon>
#include <QImageReader>
#include <QResource>
#include <QTranslator>
#include <QtTest>

namespace {

struct IconEntry
{
    int size;
    int bitsPerPixel;
    bool png;
};

// The directory of a Windows icon file, each image's size and depth read from its own header.
QList<IconEntry> iconEntries(const QByteArray &data)
{
    QList<IconEntry> entries;
    QDataStream in(data);
    in.setByteOrder(QDataStream::LittleEndian);
    quint16 reserved = 0, type = 0, count = 0;
    in >> reserved >> type >> count;
    if (reserved != 0 || type != 1) {
        return entries;
    }
    for (int i = 0; i < count; ++i) {
        quint8 w = 0, h = 0, colours = 0, zero = 0;
        quint16 planes = 0, bpp = 0;
        quint32 bytes = 0, offset = 0;
        in >> w >> h >> colours >> zero >> planes >> bpp >> bytes >> offset;
        const QByteArray image = data.mid(int(offset), int(bytes));
        IconEntry e{w == 0 ? 256 : w, bpp, image.startsWith("\x89PNG")};
        if (!e.png && image.size() >= 16) {
            QDataStream header(image);
            header.setByteOrder(QDataStream::LittleEndian);
            quint32 headerSize = 0;
            qint32 width = 0, height = 0;
            quint16 dibPlanes = 0, dibBpp = 0;
            header >> headerSize >> width >> height >> dibPlanes >> dibBpp;
            if (headerSize != 40 || width != e.size || height != 2 * e.size || dibBpp != bpp) {
                e.bitsPerPixel = -1; // directory and image disagree
            }
        }
        entries.append(e);
    }
    return entries;
}

QByteArray readResource(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void firmwareIcon();
    void logoIcon();
    void iconsDecode_data();
    void iconsDecode();
    void translation_data();
    void translation();
};

void TestResources::firmwareIcon()
{
    const QList<IconEntry> entries =
        iconEntries(readResource(QStringLiteral(":/ico/ico/upgrage_firmware.ico")));
    QCOMPARE(entries.size(), 11);
    QList<QPair<int, int>> found;
    for (const IconEntry &e : entries) {
        found.append({e.size, e.bitsPerPixel});
        QVERIFY(e.png == (e.size == 256));
    }
    const QList<QPair<int, int>> expected = {{16, 4},  {32, 4},  {48, 4},  {16, 8},   {32, 8},  {48, 8},
                                             {16, 32}, {32, 32}, {48, 32}, {128, 32}, {256, 32}};
    QCOMPARE(found, expected);
}

void TestResources::logoIcon()
{
    const QString path = QStringLiteral(":/ico/ico/Brellix_logo_002.ico");
    const QList<IconEntry> entries = iconEntries(readResource(path));
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().size, 64);
    QCOMPARE(entries.first().bitsPerPixel, 32);
    QResource resource(path);
    QVERIFY(resource.isValid());
    QCOMPARE(resource.compressionAlgorithm(), QResource::ZlibCompression);
}

void TestResources::iconsDecode_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("images");
    QTest::newRow("firmware") << ":/ico/ico/upgrage_firmware.ico" << 11;
    QTest::newRow("logo") << ":/ico/ico/Brellix_logo_002.ico" << 1;
}

void TestResources::iconsDecode()
{
    QFETCH(QString, path);
    QFETCH(int, images);
    if (!QImageReader::supportedImageFormats().contains("ico")) {
        QSKIP("Qt's ico image plugin is not installed");
    }
    QImageReader reader(path);
    QCOMPARE(reader.imageCount(), images);
    for (int i = 0; i < images; ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        // Something is drawn: neither empty nor one flat colour.
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 2) {
            for (int x = 0; x < image.width(); x += 2) {
                colours.insert(image.pixel(x, y));
            }
        }
        QVERIFY(colours.size() > 2);
    }
    QVERIFY(!QIcon(path).isNull());
}

void TestResources::translation_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("chinese"); // empty: no translation, the English text stays
    const struct
    {
        const char *source, *chinese;
    } rows[] = {
        {"language", "语言&&通讯"},
        {"Status:", "通讯状态："},
        {"English", "英文"},
        {"Chinese", "中文"},
        {"Close Serial", "关闭串口"},
        {"Please open the serial port first!", "请先打开串口通信"},
        {"Information", "提示"},
        {"Warning", "警告"},
        {"Please click to obtain the version number first", "请先点击获取版本号按钮"},
        {"The version number of the upgraded file does not match the actual version number",
         "版本不一致不能更新"},
        {"File (*.bin *.sorrel);; ", "文件 (*.bin *.sorrel);; "},
        {"Firmware selection", "选择更新文件"},
        {"File is too short, upgrade failed", "文件太短更新失败"},
        {"File open failed, upgrade failed", "打开文件失败，更新失败"},
        {"File is too large, upgrade failed", "文件太大，更新失败"},
        {"\tStarting! Size : %1", "开始更新! 大小 : %1"},
        {":  Update completed", "更新完成"},
        {"MainWindow", ""},
        {"BMS ADDR：", ""},
        {"From pack：", ""},
        {"Interval(S)：", ""},
        {"To Pack：", ""},
        {"\t Sent package:%1, total:%2 packages.", ""},
        // What the window says when a download goes wrong.
        {"The pack did not answer the start of the download. Check the cable and the baud rate, then press "
         "Start DownLoad again.",
         "电池包未响应升级开始命令。请检查连接线和波特率，然后重新点击开始下载。"},
        {"No answer from the pack for package %1 in %2 s. Check the cable, then press Start DownLoad to "
         "begin "
         "again.",
         "数据包%1已%2秒未收到电池包应答。请检查连接线，然后点击开始下载重新开始。"},
        {"The pack did not confirm the end of the download. Press Get Version to see which firmware it runs.",
         "电池包未确认升级结束。请点击获取版本号，查看电池包当前运行的固件。"},
        {"The pack did not report its version. Check the cable and the baud rate, then press Get Version "
         "again.",
         "电池包未返回版本号。请检查连接线和波特率，然后再次点击获取版本号。"},
        {"The download record could not be written: %1", "无法写入下载记录：%1"},
        {"The serial port was lost during the download. Reconnect, open the port and press Start DownLoad "
         "again.",
         "下载过程中串口断开。请重新连接并打开串口，然后点击开始下载。"},
        {"The serial port was lost while the pack was asked for its version. Reconnect, then press Open "
         "Serial again.",
         "获取版本号时串口断开。请重新连接，然后再次点击打开串口。"},
        {"Cannot open %1: %2", "无法打开%1：%2"},
        {"The help document %1 cannot be opened.", "无法打开帮助文档%1。"},
        {"A download is running. Load a file when it has finished.", "正在下载，请在下载结束后再加载文件。"},
        {"A download is running. Get the version when it has finished.",
         "正在下载，请在下载结束后再获取版本号。"},
        {"Please load a firmware file first!", "请先加载固件文件！"},
        {"The pack has not reported its version. Download %1 anyway?",
         "电池包未上报版本号。仍要下载 %1 吗？"},
        {"A download is running. Close the window anyway?", "正在下载，仍要关闭窗口吗？"},
        {"A download is running. Stop it and start again from the first package?",
         "正在下载。要停止并从第一个数据包重新开始吗？"},
        {"A download is running. Close the port and stop it?", "正在下载。要关闭串口并停止下载吗？"},
        {"The port is in use by %1. Close that program, then press Open Serial again.",
         "串口正被%1占用。请关闭该程序，然后再次点击打开串口。"},
        {"The port is in use by another program. Close it, then press Open Serial again.",
         "串口正被其他程序占用。请关闭该程序，然后再次点击打开串口。"},
        {"The file's path must contain %1.", "文件路径中必须包含 %1。"},
        {"No program to open PDF files was found. The guide is %1.",
         "未找到可打开PDF文件的程序。使用说明位于%1。"},
        // A port that did not open: the system's reason in the window's words.
        {"The port does not exist", "串口不存在"},
        {"Permission denied", "没有访问权限"},
        {"The port is busy or in use", "串口忙或已被占用"},
        {"The device is gone", "设备已断开"},
        {"The system reports: %1", "系统报告错误：%1"},
    };
    for (const auto &r : rows) {
        QTest::newRow(r.source) << QString::fromUtf8(r.source) << QString::fromUtf8(r.chinese);
    }
}

void TestResources::translation()
{
    QFETCH(QString, source);
    QFETCH(QString, chinese);
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(":/language/Quorvane_zh_CN.qm")));
    QCOMPARE(translator.language(), QStringLiteral("zh_CN"));
    QCOMPARE(translator.translate("MainWindow", source.toUtf8().constData()), chinese);
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
