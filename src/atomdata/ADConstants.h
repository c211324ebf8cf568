#pragma once
// The namespaces, schemes and rel values the Atom data client and its service
// families share. Every URI of the families lies under one schema root; the
// constants are joined at compile time so that no class builds them at run time.

// The root under which the namespaces, kind terms and rel values of the
// service families lie.
#define AD_SCHEMA_ROOT "http://schemas.flipdesk.net"

inline constexpr const char kADSchemaRoot[] = AD_SCHEMA_ROOT;

inline constexpr const char kADNamespaceAtom[] = "http://www.w3.org/2005/Atom";
inline constexpr const char kADNamespaceAtomPub[] = "http://www.w3.org/2007/app";
inline constexpr const char kADNamespaceAtomPubPrefix[] = "app";
inline constexpr const char kADNamespaceGD[] = AD_SCHEMA_ROOT "/g/2005";
inline constexpr const char kADNamespaceGDPrefix[] = "gd";
inline constexpr const char kADNamespaceOpenSearch[] = "http://a9.com/-/spec/opensearch/1.1/";
inline constexpr const char kADNamespaceOpenSearchPrefix[] = "openSearch";
inline constexpr const char kADNamespaceMedia[] = "http://search.yahoo.com/mrss/";
inline constexpr const char kADNamespaceMediaPrefix[] = "media";
inline constexpr const char kADNamespaceXML[] = "http://www.w3.org/XML/1998/namespace";

inline constexpr const char kADCategoryScheme[] = AD_SCHEMA_ROOT "/g/2005#kind";
inline constexpr const char kADCategoryLabelScheme[] = AD_SCHEMA_ROOT "/g/2005/labels";
inline constexpr const char kADLinkRelResumableEditMedia[] = AD_SCHEMA_ROOT "/g/2005#resumable-edit-media";

// The core's own protocol version, used where a class names none.
inline constexpr const char kADDefaultServiceVersion[] = "1.0";
