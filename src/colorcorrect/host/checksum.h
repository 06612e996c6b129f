#pragma once
// The host's checksum. It is CRC-32/ISO-HDLC (the CRC of zlib and PNG:
// reflected polynomial 0xEDB88320, initial value and final XOR 0xFFFFFFFF), so
// a consumer outside the library can verify a real-time lookup package with
// any standard implementation. "123456789" gives 0xCBF43926.

#include "win_types.h"

DWORD GetCRC1615(const void* data, unsigned long length);
