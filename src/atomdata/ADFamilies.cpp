#include "atomdata/ADFamilies.h"

#include "atomdata/analytics/ADAnalytics.h"
#include "atomdata/books/ADBooks.h"
#include "atomdata/calendar/ADCalendar.h"
#include "atomdata/codesearch/ADCodeSearch.h"
#include "atomdata/contacts/ADContacts.h"
#include "atomdata/documents/ADDocs.h"
#include "atomdata/finance/ADFinance.h"
#include "atomdata/health/ADHealth.h"
#include "atomdata/maps/ADMaps.h"
#include "atomdata/photos/ADPhotos.h"
#include "atomdata/spreadsheet/ADSpreadsheet.h"
#include "atomdata/translation/ADTranslation.h"
#include "atomdata/webmaster/ADWebmasterTools.h"
#include "atomdata/servicedoc/ADAtomServiceDocument.h"

// The blog family registers nothing: its classes are used only where a caller
// names them.
void ADRegisterServiceFamilies() {
  ADContactConstants::registerClasses();
  ADEntryCalendar::registerClasses();
  ADAnalyticsConstants::registerClasses();
  ADBookConstants::registerClasses();
  ADEntryCodeSearch::registerClasses();
  ADPhotoConstants::registerClasses();
  ADSpreadsheetConstants::registerClasses();
  ADDocConstants::registerClasses();
  ADMapConstants::registerClasses();
  ADHealthConstants::registerClasses();
  ADTranslationConstants::registerClasses();
  ADFinanceConstants::registerClasses();
  ADWebmasterToolsConstants::registerClasses();
  ADAtomServiceDocument::registerClasses();
}
