#pragma once

#include "platform/print/PdfFinisher.h"

#include <QPageLayout>
#include <QString>

namespace platform {

// Draws the page furniture of a printed document (see PageFurniture) with Qt's own PDF
// writer: the title on one sheet and each piece of the "Page p of P" lines on a sheet of its
// own, all as real text in embedded fonts, with Qt's font fallback for characters that the
// first font lacks (Greek, Chinese, ...).
//
// The web engine could print these sheets too, but a second engine page costs a renderer
// process and competes with the document's own printing for the processor; this takes a few
// milliseconds in the program's own process.
class PrintDecorations {
public:
    // Sheets for pages of the given layout (its paper and margins). Empty pdf if they cannot
    // be drawn.
    static PageFurniture furnitureFor(const QString& title, const QPageLayout& layout);
};

}  // namespace platform
