#pragma once
// Enters every stock filter class, with the messages a configuration may
// send it, into the shared filter registry.
void registerStockFilters();
