#include "lbs_sim_gpx_reader.h"

#include <cstring>

#include <cstdio>

#include <cerrno>

#include "lbs_sim_geo.h"

#include <glib.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <charconv>
#include <cmath>
#include <memory>
#include <string_view>

namespace lbs_sim {
namespace {

struct DocFree {
    void operator()(xmlDoc *d) const { xmlFreeDoc(d); }
};
struct CtxtFree {
    void operator()(xmlParserCtxt *c) const { xmlFreeParserCtxt(c); }
};
struct XmlCharFree {
    void operator()(xmlChar *s) const { xmlFree(s); }
};
using XmlText = std::unique_ptr<xmlChar, XmlCharFree>;

bool named(const xmlNode *n, std::string_view name)
{
    return n->type == XML_ELEMENT_NODE && name == reinterpret_cast<const char *>(n->name);
}

std::string text_of(const xmlNode *n)
{
    XmlText t(xmlNodeGetContent(n));
    std::string s = t ? reinterpret_cast<const char *>(t.get()) : "";
    const size_t b = s.find_first_not_of(" \t\r\n");
    const size_t e = s.find_last_not_of(" \t\r\n");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

bool to_double(const std::string &s, double *out)
{
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), *out);
    return !s.empty() && ec == std::errc() && end == s.data() + s.size() && std::isfinite(*out);
}

// ISO 8601 to milliseconds since 1970; a time without zone is UTC.
bool to_ms(const std::string &s, int64_t *out)
{
    GTimeZone *utc = g_time_zone_new_utc();
    GDateTime *dt = g_date_time_new_from_iso8601(s.c_str(), utc);
    g_time_zone_unref(utc);
    if (dt == nullptr)
        return false;
    *out = static_cast<int64_t>(g_date_time_to_unix(dt)) * 1000 + g_date_time_get_microsecond(dt) / 1000;
    g_date_time_unref(dt);
    return true;
}

struct Reader {
    std::string name;
    std::vector<TrackPoint> *points;
    std::vector<int64_t> times; // absolute, -1 where missing
    std::string *error;

    bool fail(const xmlNode *n, const std::string &what)
    {
        *error = name + ":" + std::to_string(xmlGetLineNo(n)) + ": " + what;
        return false;
    }

    bool point(const xmlNode *pt)
    {
        TrackPoint p;
        XmlText lat(xmlGetProp(pt, reinterpret_cast<const xmlChar *>("lat")));
        XmlText lon(xmlGetProp(pt, reinterpret_cast<const xmlChar *>("lon")));
        const std::string slat = lat ? reinterpret_cast<const char *>(lat.get()) : "";
        const std::string slon = lon ? reinterpret_cast<const char *>(lon.get()) : "";
        if (!to_double(slat, &p.lat) || p.lat < -90 || p.lat > 90)
            return fail(pt, "bad or missing lat '" + slat + "'");
        if (!to_double(slon, &p.lon) || p.lon < -180 || p.lon > 180)
            return fail(pt, "bad or missing lon '" + slon + "'");
        int64_t t = -1;
        for (const xmlNode *c = pt->children; c != nullptr; c = c->next) {
            if (named(c, "ele") && !to_double(text_of(c), &p.ele))
                return fail(c, "bad ele '" + text_of(c) + "'");
            if (named(c, "time") && !to_ms(text_of(c), &t))
                return fail(c, "bad time '" + text_of(c) + "'");
        }
        if (t >= 0 && !times.empty() && times.back() >= 0 && t < times.back())
            return fail(pt, "time runs backwards");
        points->push_back(p);
        times.push_back(t);
        return true;
    }

    // Every element named point under containers named outer (and, for
    // tracks, middle), in document order.
    bool walk(const xmlNode *root, std::string_view outer, std::string_view middle, std::string_view pt)
    {
        for (const xmlNode *o = root->children; o != nullptr; o = o->next) {
            if (!named(o, outer))
                continue;
            for (const xmlNode *m = o->children; m != nullptr; m = m->next) {
                if (middle.empty()) {
                    if (named(m, pt) && !point(m))
                        return false;
                    continue;
                }
                if (!named(m, middle))
                    continue;
                for (const xmlNode *p = m->children; p != nullptr; p = p->next)
                    if (named(p, pt) && !point(p))
                        return false;
            }
        }
        return true;
    }

    void time_points()
    {
        bool all_timed = true;
        for (int64_t t : times)
            all_timed = all_timed && t >= 0;
        if (all_timed) {
            for (size_t i = 0; i < points->size(); ++i)
                (*points)[i].time_ms = times[i] - times[0];
            return;
        }
        double walked = 0;
        (*points)[0].time_ms = 0;
        for (size_t i = 1; i < points->size(); ++i) {
            const TrackPoint &a = (*points)[i - 1];
            walked += geodesic_inverse(a.lat, a.lon, (*points)[i].lat, (*points)[i].lon).distance;
            (*points)[i].time_ms = std::llround(walked / kDefaultPace * 1000.0);
        }
    }
};

bool read_doc(xmlDoc *doc, const std::string &name, std::vector<TrackPoint> *points, std::string *error)
{
    const xmlNode *root = xmlDocGetRootElement(doc);
    if (root == nullptr || !named(root, "gpx")) {
        *error = name + ": not a GPX document (the root element is not gpx)";
        return false;
    }
    Reader r{name, points, {}, error};
    points->clear();
    if (!r.walk(root, "trk", "trkseg", "trkpt"))
        return false;
    if (points->empty() && !r.walk(root, "rte", "", "rtept"))
        return false;
    if (points->empty()) {
        *error = name + ": no track points (trk/trkseg/trkpt) and no route points (rte/rtept)";
        return false;
    }
    r.time_points();
    return true;
}

// The first error libxml2 reports while one document is read (later ones
// tend to follow from it); nothing goes to standard error.
// A warning (a file that cannot be opened is one) is kept until an error
// comes.
struct FirstError {
    bool set = false;
    bool is_error = false;
    int line = 0;
    std::string message;
};

void keep_first(void *data, const xmlError *e)
{
    auto *first = static_cast<FirstError *>(data);
    if (e == nullptr || first->is_error || (first->set && e->level < XML_ERR_ERROR))
        return;
    first->set = true;
    first->is_error = e->level >= XML_ERR_ERROR;
    first->line = e->line;
    first->message = e->message != nullptr ? e->message : "cannot be read";
    while (!first->message.empty() && (first->message.back() == '\n' || first->message.back() == ' '))
        first->message.pop_back();
}

// Reads with the error handler in place for the length of the call only.
class ErrorScope {
public:
    ErrorScope() { xmlSetStructuredErrorFunc(&first, reinterpret_cast<xmlStructuredErrorFunc>(&keep_first)); }
    ~ErrorScope() { xmlSetStructuredErrorFunc(nullptr, nullptr); }
    std::string text(const std::string &name) const
    {
        if (!first.set)
            return name + ": cannot be read";
        if (first.line <= 0) // the file itself (cannot be opened)
            return name + ": " + first.message;
        return name + ":" + std::to_string(first.line) + ": " + first.message;
    }
    FirstError first;
};

constexpr int kParseOptions = XML_PARSE_NONET;

} // namespace

bool read_gpx(const std::string &path, std::vector<TrackPoint> *points, std::string *error)
{
    // libxml2 says only that it failed to load the file; the system says why.
    if (std::FILE *f = std::fopen(path.c_str(), "rb"); f == nullptr) {
        *error = path + ": " + std::strerror(errno);
        return false;
    } else {
        std::fclose(f);
    }
    std::unique_ptr<xmlParserCtxt, CtxtFree> ctxt(xmlNewParserCtxt());
    if (!ctxt) {
        *error = path + ": out of memory";
        return false;
    }
    ErrorScope errors;
    std::unique_ptr<xmlDoc, DocFree> doc(xmlCtxtReadFile(ctxt.get(), path.c_str(), nullptr, kParseOptions));
    if (!doc) {
        *error = errors.text(path);
        return false;
    }
    return read_doc(doc.get(), path, points, error);
}

bool read_gpx_memory(const std::string &content, const std::string &name, std::vector<TrackPoint> *points,
                     std::string *error)
{
    std::unique_ptr<xmlParserCtxt, CtxtFree> ctxt(xmlNewParserCtxt());
    if (!ctxt) {
        *error = name + ": out of memory";
        return false;
    }
    ErrorScope errors;
    std::unique_ptr<xmlDoc, DocFree> doc(xmlCtxtReadMemory(ctxt.get(), content.data(), static_cast<int>(content.size()),
                                                           name.c_str(), nullptr, kParseOptions));
    if (!doc) {
        *error = errors.text(name);
        return false;
    }
    return read_doc(doc.get(), name, points, error);
}

} // namespace lbs_sim
