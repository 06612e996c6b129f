#pragma once
// Complex radix-2 fast Fourier transform on single-precision arrays, used to
// cross-correlate histograms.
//
// One page-allocated block holds every table: n + n/4 cosines cos(2*pi*k/n)
// (the sines are read a quarter period further on), n bit-reversed indices
// and the two data arrays re[n] and im[n], which are the transform's input
// and output (it works in place).

#include <cstdint>

#include "../host/win_types.h"

class CFFTransform {
public:
    // An empty object: no block, size 0.
    CFFTransform();
    // Releases the block.
    ~CFFTransform();

    CFFTransform(const CFFTransform&) = delete;
    CFFTransform& operator=(const CFFTransform&) = delete;

    // Builds the tables for n points and clears re and im; 1 when done. n must be a power
    // of two in 2..65535. 0, with the object empty (a block held before
    // is released), for another n or when the block cannot be allocated.
    BOOL Init(unsigned int n);
    // Transforms re + i*im in place. nDirection +1: forward, twiddles
    // e^(-2*pi*i*k/n); -1: inverse, twiddles e^(+2*pi*i*k/n), and both arrays
    // are divided by n afterwards, so forward then inverse gives the input
    // back (up to rounding). bBitReverse nonzero: the input is first put in
    // bit-reversed order (the normal case; zero when the caller has already
    // done so). Does nothing on an empty object or for another direction.
    void Transform(int nDirection, BOOL bBitReverse);
    // Frees the block; the object is empty afterwards. Harmless when empty.
    void Release();

    // Number of points, 0 when empty.
    unsigned int GetSize() const { return m_nSize; }
    // The data arrays (n floats each), null when empty.
    float* GetRe() const { return m_pRe; }
    float* GetIm() const { return m_pIm; }

protected:
    unsigned int m_nSize;    // n, 0 when empty
    unsigned int m_nLog2;    // log2(n)
    void* m_pBlock;          // the page block holding all four tables
    float* m_pCos;           // n + n/4 cosines cos(2*pi*k/n)
    uint16_t* m_pBitReverse; // n indices, each k with its log2(n) bits reversed
    float* m_pRe;            // real parts, n
    float* m_pIm;            // imaginary parts, n
};
