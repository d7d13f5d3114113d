// The VOTable head of a star table: a FIELD for every column, each record field with the UCD
// that says what it measures, the positions tied to their coordinate system.
#include "db/votable_head.h"

#include <cstdio>
#include <string_view>

#include "base/star_record.h"
#include "db/text_escape.h"

namespace ucac2 {
namespace {

constexpr const char* kSystemId = "icrs";  // the positions' coordinate system
constexpr const char* kJ2000SystemId = "icrs_j2000";

/// The UCD of each field of the record, in the table's order.
struct FieldUcd {
  const char* name;
  const char* ucd;
};
constexpr FieldUcd kFieldUcds[] = {
    {"ra", "pos.eq.ra;meta.main"},
    {"dec", "pos.eq.dec;meta.main"},
    {"u2r_mag", "phot.mag;em.opt.R"},
    {"e_ra_m", "stat.error;pos.eq.ra"},
    {"e_de_m", "stat.error;pos.eq.dec"},
    {"nobs", "meta.number;obs"},
    {"e_pos", "stat.error;pos"},
    {"ncat", "meta.number"},
    {"cflg", "meta.code"},
    {"ep_ra_m", "time.epoch;pos.eq.ra"},
    {"ep_de_m", "time.epoch;pos.eq.dec"},
    {"pm_ra", "pos.pm;pos.eq.ra"},
    {"pm_de", "pos.pm;pos.eq.dec"},
    {"e_pm_ra", "stat.error;pos.pm;pos.eq.ra"},
    {"e_pm_de", "stat.error;pos.pm;pos.eq.dec"},
    {"q_pm_ra", "stat.fit.goodness;pos.pm;pos.eq.ra"},
    {"q_pm_de", "stat.fit.goodness;pos.pm;pos.eq.dec"},
    {"2m_id", "meta.id.cross"},
    {"2m_j", "phot.mag;em.IR.J"},
    {"2m_h", "phot.mag;em.IR.H"},
    {"2m_ks", "phot.mag;em.IR.K"},
    {"2m_ph", "meta.code.qual"},
    {"2m_cc", "meta.code"},
};
constexpr bool UcdsFollowFields() {
  if (std::size(kFieldUcds) != std::size(kRecordFields)) return false;
  for (std::size_t i = 0; i < std::size(kFieldUcds); ++i) {
    if (std::string_view(kFieldUcds[i].name) != kRecordFields[i].name) return false;
  }
  return true;
}
static_assert(UcdsFollowFields());

// `ref` names the coordinate system of a position.
void AppendField(const ExtraColumn& column, std::string& out, const char* ref = nullptr) {
  out += "<FIELD name=\"";
  AppendXmlText(column.name, out);
  out += "\" datatype=\"";
  out += column.datatype;
  if (column.datatype == std::string_view("unicodeChar")) out += "\" arraysize=\"*";
  if (column.unit[0] != '\0') {
    out += "\" unit=\"";
    out += column.unit;
  }
  if (column.ucd[0] != '\0') {
    out += "\" ucd=\"";
    out += column.ucd;
  }
  if (ref != nullptr) {
    out += "\" ref=\"";
    out += ref;
  }
  out += "\"/>\n";
}

}  // namespace

void AppendVotableHead(const TableLayout& layout, std::string& out) {
  char epoch[32] = "J2000";
  if (layout.at_epoch) std::snprintf(epoch, sizeof epoch, "J%.10g", 2000.0 + layout.epoch_years);
  out +=
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<VOTABLE version=\"1.4\" xmlns=\"http://www.ivoa.net/xml/VOTable/v1.3\">\n"
      "<RESOURCE type=\"results\">\n";
  out +=
      std::string("<COOSYS ID=\"") + kSystemId + "\" system=\"ICRS\" epoch=\"" + epoch + "\"/>\n";
  if (layout.at_epoch) {
    out += std::string("<COOSYS ID=\"") + kJ2000SystemId + "\" system=\"ICRS\" epoch=\"J2000\"/>\n";
  }
  out += "<TABLE name=\"ucac2\">\n";
  for (const std::string& name : layout.leading)
    AppendField({name.c_str(), "unicodeChar", "", ""}, out);
  AppendField(kIdColumn, out);
  for (std::size_t i = 0; i < std::size(kRecordFields); ++i) {
    const RecordField& field = kRecordFields[i];
    AppendField({field.name, field.form == FieldForm::kInteger ? "int" : "double", field.unit,
                 kFieldUcds[i].ucd},
                out, field.form == FieldForm::kDegrees ? kSystemId : nullptr);
  }
  if (!layout.distance_name.empty()) {
    AppendField({layout.distance_name.c_str(), "double", "arcsec", "pos.angDistance"}, out);
  }
  if (layout.at_epoch) {
    AppendField(kRaJ2000, out, kJ2000SystemId);
    AppendField(kDecJ2000, out, kJ2000SystemId);
  }
  out += "<DATA><TABLEDATA>\n";
}

}  // namespace ucac2
