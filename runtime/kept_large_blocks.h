#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvel {

/// While one lives, large blocks given back (releaseLargeBlock) are kept for the takes that
/// follow instead of going back to the system, and a take is made of kept blocks first: their
/// pages are moved into the new block as they are, already cleared and mapped, where fresh
/// ones would cost the system a clearing each (on a virtual machine more than the run's own
/// writing of them). So a run asks the system for no more than it ever holds at once, and
/// what it keeps never exceeds that. When the last one ends, the kept blocks go back to the
/// system. A block made of kept pages holds what their last owners left there, but for the
/// few words at each kept block's start that held the list of kept blocks. Only where the
/// system moves pages between mappings (Linux); elsewhere nothing is kept.
class LargeBlockReuse {
public:
    LargeBlockReuse() noexcept;
    ~LargeBlockReuse();
    LargeBlockReuse(const LargeBlockReuse&) = delete;
    LargeBlockReuse& operator=(const LargeBlockReuse&) = delete;
};

/// Gives every block kept now back to the system, while reuse goes on: for before the host
/// takes memory of its own, which kept pages cannot serve. Cheap when nothing is kept.
void giveBackKeptLargeBlocks() noexcept;

/// The bytes kept now for takes to come.
std::size_t keptLargeBytes() noexcept;

/// Keeps the large block at `block` (`bytes`, whole large pages) for a later take, and says
/// so; false when no LargeBlockReuse lives, and the block is the caller's to give back.
bool keepLargeBlock(std::uintptr_t block, std::size_t bytes) noexcept;

/// Moves kept blocks' pages into the block at `block` (`bytes`, whole large pages, just
/// mapped), from its start on, and says how many bytes of it they fill.
std::size_t fillFromKeptBlocks(std::uintptr_t block, std::size_t bytes) noexcept;

}  // namespace tarvel
