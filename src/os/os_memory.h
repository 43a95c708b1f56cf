// Address space and physical memory, as the memory tracker needs them.
#pragma once

#include <cstddef>
#include <cstdint>

// Reserves size bytes of address space without backing them; returns null on failure.
void *os_memory_reserve(size_t size);
// Gives a whole reservation back.
void os_memory_release(void *address, size_t size);
// Backs [address, address + size) of a reservation with zeroed, writable memory.
bool os_memory_commit(void *address, size_t size);
// Returns [address, address + size) to the reserved-only state; reading it faults.
void os_memory_decommit(void *address, size_t size);
// The granularity of commit and decommit.
size_t os_memory_page_size();

// Total and available physical memory of the machine in bytes.
void os_memory_physical(uint64_t *total, uint64_t *available);
