// Capability containers between the slot layout of TTwnContainer's blocks (items ItemSize
// apart) and TWAIN's container memory (items packed at their type size). The headers are the
// same in both:
//   array        ItemType, NumItems, items from 6      TWAIN: NumItems x type size + 10
//   enumeration  ... CurrentIndex, DefaultIndex, from 14      NumItems x type size + 18
//   one value    ItemType, the item at 2                      type size + 6
//   range        ItemType and five u32 values                 22
#pragma once

#include <cstddef>
#include <cstdint>

#include "vekTWAINContainer.h"

// The block of the container a source answered: Kind at Memory of Size bytes. Empty for an
// unknown kind, an unknown item type, or memory too small for its header and items.
TTwnBlock BlockOfTwainContainer(uint16_t Kind, const uint8_t* Memory, size_t Size);

// The bytes of TWAIN memory that Block takes as a container of Kind; 0 when Block is too
// small for what it says or Kind is unknown.
size_t TwainContainerSize(uint16_t Kind, const TTwnBlock& Block);
// Writes Block as TWAIN memory of TwainContainerSize bytes, zero-filled beforehand.
void TwainContainerOfBlock(uint16_t Kind, const TTwnBlock& Block, uint8_t* Memory);
