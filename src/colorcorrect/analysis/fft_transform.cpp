#include "fft_transform.h"

#include <cmath>
#include <cstddef>
#include <utility>

#include "../engine/angles.h"
#include "../host/virtual_memory.h"

CFFTransform::CFFTransform()
    : m_nSize(0), m_nLog2(0), m_pBlock(nullptr), m_pCos(nullptr), m_pBitReverse(nullptr),
      m_pRe(nullptr), m_pIm(nullptr)
{
}

CFFTransform::~CFFTransform()
{
    Release();
}

BOOL CFFTransform::Init(unsigned int n)
{
    Release();
    if (n < 2 || n > 65535 || (n & (n - 1)) != 0)
        return 0;

    unsigned int log2 = 0;
    while ((1u << log2) < n)
        ++log2;

    // Cosines first (float alignment), then re and im, then the 16-bit indices.
    const size_t cosCount = n + n / 4;
    const size_t bytes = cosCount * sizeof(float) + 2 * size_t{n} * sizeof(float) +
                         size_t{n} * sizeof(uint16_t);
    void* block = VirtualAlloc(nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
    if (block == nullptr)
        return 0;

    float* cosTable = static_cast<float*>(block);
    float* re = cosTable + cosCount;
    float* im = re + n;
    uint16_t* bitReverse = reinterpret_cast<uint16_t*>(im + n);

    for (size_t k = 0; k < cosCount; ++k)
        cosTable[k] = static_cast<float>(std::cos(colorcorrect::g_TwoPi * static_cast<double>(k) /
                                                  static_cast<double>(n)));
    for (unsigned int k = 0; k < n; ++k) {
        unsigned int r = 0;
        for (unsigned int bit = 0; bit < log2; ++bit)
            if (k & (1u << bit))
                r |= 1u << (log2 - 1 - bit);
        bitReverse[k] = static_cast<uint16_t>(r);
        re[k] = 0.0f;
        im[k] = 0.0f;
    }

    m_nSize = n;
    m_nLog2 = log2;
    m_pBlock = block;
    m_pCos = cosTable;
    m_pRe = re;
    m_pIm = im;
    m_pBitReverse = bitReverse;
    return 1;
}

void CFFTransform::Transform(int nDirection, BOOL bBitReverse)
{
    if (m_pBlock == nullptr || (nDirection != 1 && nDirection != -1))
        return;
    const unsigned int n = m_nSize;
    const unsigned int quarter = n / 4;

    if (bBitReverse)
        for (unsigned int k = 0; k < n; ++k) {
            const unsigned int r = m_pBitReverse[k];
            if (r > k) {
                std::swap(m_pRe[k], m_pRe[r]);
                std::swap(m_pIm[k], m_pIm[r]);
            }
        }

    // sin(x) = -cos(x + pi/2). With n = 2 only the twiddle of index 0 occurs,
    // whose sine is 0 (there is no whole quarter period to step over).
    const float sign = nDirection > 0 ? -1.0f : 1.0f;
    for (unsigned int len = 2; len <= n; len <<= 1) {
        const unsigned int half = len / 2;
        const unsigned int step = n / len;
        for (unsigned int j = 0; j < half; ++j) {
            const unsigned int t = j * step;
            const float wr = m_pCos[t];
            const float sine = quarter > 0 ? -m_pCos[t + quarter] : 0.0f;
            const float wi = sign * sine;
            for (unsigned int i = j; i < n; i += len) {
                const unsigned int p = i + half;
                const float xr = m_pRe[p] * wr - m_pIm[p] * wi;
                const float xi = m_pRe[p] * wi + m_pIm[p] * wr;
                m_pRe[p] = m_pRe[i] - xr;
                m_pIm[p] = m_pIm[i] - xi;
                m_pRe[i] += xr;
                m_pIm[i] += xi;
            }
        }
    }

    if (nDirection < 0) {
        const float scale = 1.0f / static_cast<float>(n);
        for (unsigned int k = 0; k < n; ++k) {
            m_pRe[k] *= scale;
            m_pIm[k] *= scale;
        }
    }
}

void CFFTransform::Release()
{
    if (m_pBlock != nullptr)
        VirtualFree(m_pBlock, 0, MEM_RELEASE);
    m_nSize = 0;
    m_nLog2 = 0;
    m_pBlock = nullptr;
    m_pCos = nullptr;
    m_pBitReverse = nullptr;
    m_pRe = nullptr;
    m_pIm = nullptr;
}
