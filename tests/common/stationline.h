// A pack on a production line, for the station tests (the terminal station and its window): its
// simulator on a pseudo-terminal under a link, unplugged until the test plugs it, the image it should
// get, and how many images it got exactly or wrongly. After `packs` images it stays on the line.
#pragma once

#include "packsimulator.h"
#include "testfirmware.h"

#include <QObject>
#include <QString>

#include <memory>

struct StationLine
{
    std::unique_ptr<PackSim::PackSimulator> pack;
    QString link;
    QByteArray expected;
    int exact = 0;
    int wrong = 0;

    // A line at link whose packs report version and expect the test image of imageBytes made from
    // seed; null when the pseudo-terminal cannot be made. context owns the image counting.
    static std::unique_ptr<StationLine> make(QObject *context, const QString &link, const char *version,
                                             qint64 imageBytes, int seed, int packs)
    {
        auto line = std::make_unique<StationLine>();
        line->pack = std::make_unique<PackSim::PackSimulator>();
        line->pack->setReportViolationsOnStderr(false);
        line->pack->setVersionText(QLatin1String(version));
        line->link = link;
        line->expected = PackSim::expectedImage(PackSim::firmwareBytes(imageBytes, seed));
        if (!line->pack->openPty(link)) {
            return nullptr;
        }
        line->pack->unplug();
        StationLine *l = line.get();
        QObject::connect(l->pack.get(), &PackSim::PackSimulator::imageCompleted, context,
                         [l, packs](const QByteArray &image) {
                             ++(image == l->expected ? l->exact : l->wrong);
                             if (l->exact + l->wrong == packs) {
                                 l->pack->setAfterImage(PackSim::AfterImage::Stay, 0);
                             }
                         });
        return line;
    }
};
