// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "controls/CDib.h"

#include "res/ResourceInit.h"

#include <QtCore/QFile>
#include <QtCore/QtEndian>
#include <algorithm>
#include <utility>

namespace {

constexpr qsizetype kFileHeaderSize = 14;
constexpr qsizetype kInfoHeaderSize = 40;
constexpr qsizetype kMasksSize = 12;
constexpr quint32 kCompressionRgb = 0;
constexpr quint32 kCompressionBitFields = 3;
// Far beyond any picture in a dialog, and keeps every size computation well inside 64 bits.
constexpr qint32 kMaxSide = 16384;

// Offsets of the BITMAPINFOHEADER fields.
enum : int {
    kSize = 0,
    kWidth = 4,
    kHeight = 8,
    kPlanes = 12,
    kBitCount = 14,
    kCompression = 16,
    kClrUsed = 32,
};

quint32 U32(const uchar* p) {
    return qFromLittleEndian<quint32>(p);
}
qint32 I32(const uchar* p) {
    return qFromLittleEndian<qint32>(p);
}
quint16 U16(const uchar* p) {
    return qFromLittleEndian<quint16>(p);
}

} // namespace

bool CDib::Load(int resourceId) {
    Clear();
    InitFernwickResources();
    QFile file(QStringLiteral(":/art/bitmap%1.bmp").arg(resourceId));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray data = file.readAll();
    if (data.size() < kFileHeaderSize || data[0] != 'B' || data[1] != 'M')
        return false;
    return LoadFromData(data.mid(kFileHeaderSize));
}

void CDib::Clear() {
    m_pHeader = m_pMasks = m_pColourTable = m_pBits = nullptr;
    m_nColours = m_nColourUsage = m_nWidth = m_nHeight = m_nBitCount = 0;
    m_palette.clear();
    m_image = QImage();
    m_data.clear();
}

bool CDib::LoadFromData(QByteArray data) {
    Clear();
    const qsizetype size = data.size();
    if (size < kInfoHeaderSize)
        return false;
    const uchar* header = reinterpret_cast<const uchar*>(data.constData());
    // Core (12-byte) and V4/V5 headers are not what the resources hold.
    if (U32(header + kSize) != kInfoHeaderSize || U16(header + kPlanes) != 1)
        return false;
    const qint32 width = I32(header + kWidth);
    const qint32 height = I32(header + kHeight);
    const int bitCount = U16(header + kBitCount);
    const quint32 compression = U32(header + kCompression);
    const quint32 clrUsed = U32(header + kClrUsed);
    if (width <= 0 || width > kMaxSide || height == 0 || height < -kMaxSide || height > kMaxSide)
        return false;
    // Only indexed pictures: deeper ones have no colour table to draw from.
    if (bitCount != 1 && bitCount != 4 && bitCount != 8)
        return false;
    // Run-length encoded bits would need their own decoder; the resources never use them.
    if (compression != kCompressionRgb && compression != kCompressionBitFields)
        return false;

    qint64 colours = clrUsed;
    if (colours == 0)
        colours = bitCount == 1 ? 2 : bitCount == 4 ? 16 : 256;
    if (colours > 256)
        return false;

    qint64 tableOffset = kInfoHeaderSize;
    if (compression == kCompressionBitFields)
        tableOffset += kMasksSize;
    const qint64 bitsOffset = tableOffset + 4 * colours;
    const qint64 rows = height < 0 ? -qint64(height) : qint64(height);
    const qint64 stride = (qint64(width) * bitCount + 31) / 32 * 4;
    if (bitsOffset > size || rows * stride > size - bitsOffset)
        return false;

    m_data = std::move(data);
    const uchar* base = reinterpret_cast<const uchar*>(m_data.constData());
    m_pHeader = base;
    m_pMasks = compression == kCompressionBitFields ? base + kInfoHeaderSize : nullptr;
    m_pColourTable = colours > 0 ? base + tableOffset : nullptr;
    m_pBits = base + bitsOffset;
    m_nColours = int(colours);
    m_nColourUsage = 0;
    m_nWidth = width;
    m_nHeight = height;
    m_nBitCount = bitCount;

    m_palette.reserve(m_nColours);
    for (int i = 0; i < m_nColours; ++i) {
        const uchar* quad = m_pColourTable + 4 * i;
        m_palette.append(qRgb(quad[2], quad[1], quad[0]));
    }
    if (!BuildImage()) {
        Clear();
        return false;
    }
    return true;
}

quint32 CDib::GetMask(int index) const {
    if (!m_pMasks || index < 0 || index > 2)
        return 0;
    return U32(m_pMasks + 4 * index);
}

bool CDib::BuildImage() {
    const int rows = GetHeight();
    QImage image(m_nWidth, rows, QImage::Format_Indexed8);
    if (image.isNull())
        return false;
    // Pixels may name entries past a short colour table; those draw black rather than read
    // beyond the table.
    QList<QRgb> table = m_palette;
    table.resize(256, qRgb(0, 0, 0));
    image.setColorTable(table);

    const qsizetype stride = (qsizetype(m_nWidth) * m_nBitCount + 31) / 32 * 4;
    const bool bottomUp = m_nHeight > 0;
    for (int y = 0; y < rows; ++y) {
        const uchar* src = m_pBits + stride * (bottomUp ? rows - 1 - y : y);
        uchar* dst = image.scanLine(y);
        switch (m_nBitCount) {
        case 8:
            std::copy(src, src + m_nWidth, dst);
            break;
        case 4:
            for (int x = 0; x < m_nWidth; ++x)
                dst[x] = (x & 1) ? (src[x / 2] & 0x0F) : (src[x / 2] >> 4);
            break;
        case 1:
            for (int x = 0; x < m_nWidth; ++x)
                dst[x] = (src[x / 8] >> (7 - x % 8)) & 1;
            break;
        default:
            return false;
        }
    }
    m_image = std::move(image);
    return true;
}
