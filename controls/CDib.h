// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtGui/QImage>
#include <QtGui/QRgb>

// A device-independent bitmap of 2, 16 or 256 colours, as compiled into the program under
// ":/art/bitmap<id>.bmp". The header, masks, colour table and bits point into m_data; the
// drawable image is built once when the bitmap is loaded.
class CDib {
  public:
    CDib() = default;
    // The pointers refer into m_data, so a copy would need them rebuilt; nobody needs one.
    CDib(const CDib&) = delete;
    CDib& operator=(const CDib&) = delete;

    // Loads ":/art/bitmap<resourceId>.bmp". False, and an empty bitmap, when it is missing or
    // not a bitmap this class draws.
    bool Load(int resourceId);
    // Loads a bitmap resource body: the 40-byte info header, optional masks, colour table and
    // bits, without the 14-byte file header. Everything is checked against the buffer's size.
    bool LoadFromData(QByteArray data);
    void Clear();

    bool IsEmpty() const { return m_pHeader == nullptr; }
    int GetWidth() const { return m_nWidth; }
    // Rows of the picture; the header's sign (negative for top-down) is in m_nHeight.
    int GetHeight() const { return m_nHeight < 0 ? -m_nHeight : m_nHeight; }
    int GetBitCount() const { return m_nBitCount; }
    int GetColourCount() const { return m_nColours; }
    int GetColourUsage() const { return m_nColourUsage; }
    // Colour-table entries as red, green, blue; empty when there is no colour table.
    const QList<QRgb>& GetPalette() const { return m_palette; }
    // The red, green and blue masks (0, 1, 2) of a bit-fields bitmap; 0 when it has none.
    quint32 GetMask(int index) const;
    // Null until a bitmap is loaded.
    const QImage& GetImage() const { return m_image; }

  private:
    bool BuildImage();

    QByteArray m_data;
    const uchar* m_pHeader = nullptr;      // BITMAPINFOHEADER, little-endian
    const uchar* m_pMasks = nullptr;       // three DWORDs when compression is bit fields
    const uchar* m_pColourTable = nullptr; // RGBQUADs: blue, green, red, reserved
    const uchar* m_pBits = nullptr;
    int m_nColours = 0;
    int m_nColourUsage = 0; // 0: the colour table holds RGB values
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nBitCount = 0;
    QList<QRgb> m_palette;
    QImage m_image;
};
