#pragma once
// Start-up registration of the service families. The phone's runtime entered
// each entry and feed class in the kind maps as it loaded the class; a static
// library has no such moment (unused static initialisers are dropped by the
// linker), so the program calls this once, before it parses any document.
// Each family adds its own registerClasses() call here.
void ADRegisterServiceFamilies();
