#pragma once
// Start-up registration of the service families: each family's
// registerClasses() enters its entry and feed classes in the kind maps (and
// names the classes found by name), so that documents of their kinds parse
// into them. The program calls this once at start-up, before it parses any
// document; nothing registers itself, since a static library drops the static
// initialisers no code refers to. Each family adds its own call here.
void ADRegisterServiceFamilies();
