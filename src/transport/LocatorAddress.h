#pragma once

#include <cstdint>

#include "rtps/wire/Locator.h"

namespace RTPS {

// The IPv4 address of a locator (its last four bytes), in network order.
uint32_t locatorAddress(const Locator_t& locator);

// True for 224.0.0.0/4; `address` in network order.
bool isMulticast(uint32_t address);

// Dotted text of an address in network order into a buffer of at least 16 bytes.
void addressText(uint32_t address, char* text);

// WrongLocator unless the locator is UDPv4 with a port 1..65535 and a non-zero address.
void checkLocator(const Locator_t* locator);

}  // namespace RTPS
