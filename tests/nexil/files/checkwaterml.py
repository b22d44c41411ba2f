#!/usr/bin/python3
# Checks a WaterML 2.0 collection against the rules of its schemas (element
# order and cardinality, gml:id, the uom code pattern, nil values) and the
# WaterML 2.0 schematron rules, then reads it back with OWSLib and prints
#   station|CODE|TITLE
#   series|CHANNEL|TITLE|UOM CODE|UOM TITLE      (- where absent)
#   point|TIME|VALUE          or   point|TIME|nil|NIL REASON
# and, in a collection that gives qualities, each point line ends with
# |QUALITY (good, suspect, ...): the point's own, else its series' default.
# Exit 1 with the broken rule on stderr.
import re
import sys
from lxml import etree
from owslib.swe.observation.waterml2 import MeasurementTimeseriesObservation, TVPMeasurementMetadata

WML = "http://www.opengis.net/waterml/2.0"
GML = "http://www.opengis.net/gml/3.2"
OM = "http://www.opengis.net/om/2.0"
XL = "http://www.w3.org/1999/xlink"
XSI = "http://www.w3.org/2001/XMLSchema-instance"
NS = {"wml2": WML, "gml": GML, "om": OM, "xlink": XL, "xsi": XSI}
NCNAME = re.compile(r"^[A-Za-z_][A-Za-z0-9._-]*$")
UOM = re.compile(r"^[^: \n\r\t]+$")  # swe:UomSymbol
QUALITY = "http://www.opengis.net/def/waterml/2.0/quality/"
QUALITIES = ("good", "suspect", "poor", "missing", "unchecked", "estimate")
DATETIME = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(Z|[+-]\d\d:\d\d)$")


def fail(why):
    sys.exit("invalid: " + why)


def q(ns, name):
    return "{%s}%s" % (ns, name)


def children(e):
    return [c for c in e if isinstance(c.tag, str)]


def expect_order(parent, names):
    got = [c.tag for c in children(parent)]
    if got != names:
        fail("%s holds %s, expected %s" % (parent.tag, got, names))


def reference(e, what):
    if not e.get(q(XL, "href")):
        fail(what + " without xlink:href")
    if e.get(q(XL, "title")) is None:
        fail(what + " without xlink:title")


doc = etree.parse(sys.argv[1])
root = doc.getroot()
if root.tag != q(WML, "Collection"):
    fail("root is " + root.tag)
if WML not in (root.get(q(XSI, "schemaLocation")) or ""):
    fail("no schema location")
ids = doc.xpath("//@gml:id", namespaces=NS)
if len(ids) != len(set(ids)) or not all(NCNAME.match(i) for i in ids):
    fail("gml:id not unique NCNames: %s" % ids)
members = children(root)
if not members or members[0].tag != q(WML, "metadata"):
    fail("collection without metadata first")
if any(m.tag != q(WML, "observationMember") for m in members[1:]):
    fail("collection holds other than observation members")
expect_order(members[0][0], [q(WML, "generationDate"), q(WML, "generationSystem")])

out = []
for obs in doc.xpath("/wml2:Collection/wml2:observationMember/om:OM_Observation", namespaces=NS):
    expect_order(obs, [q(OM, n) for n in ("phenomenonTime", "resultTime", "procedure", "observedProperty",
                                          "featureOfInterest", "result")])
    # Schematron: the phenomenon time is a time period; the procedure a
    # reference; the result a WaterML time series.
    period = obs.find("om:phenomenonTime/gml:TimePeriod", NS)
    if period is None or obs.find("om:phenomenonTime", NS).get("nilReason") is not None:
        fail("phenomenonTime is not a gml:TimePeriod")
    expect_order(period, [q(GML, "beginPosition"), q(GML, "endPosition")])
    begin, end = period[0].text, period[1].text
    if not DATETIME.match(begin) or not DATETIME.match(end) or begin > end:
        fail("time period %s to %s" % (begin, end))
    if obs.find("om:resultTime/gml:TimeInstant/gml:timePosition", NS) is None:
        fail("resultTime is not a time instant")
    for name in ("procedure", "observedProperty", "featureOfInterest"):
        reference(obs.find("om:" + name, NS), name)
    series = obs.find("om:result/wml2:MeasurementTimeseries", NS)
    if series is None:
        fail("result is not a MeasurementTimeseries")
    meta = series.find("wml2:defaultPointMetadata/wml2:DefaultTVPMeasurementMetadata", NS)
    tags = [c.tag for c in children(meta)]
    # The quality (from the point metadata's base type) comes first.
    if tags and tags[0] == q(WML, "quality"):
        tags = tags[1:]
    if tags not in ([q(WML, "uom"), q(WML, "interpolationType")], [q(WML, "interpolationType")]):
        fail("default point metadata holds %s" % tags)
    uom = meta.find("wml2:uom", NS)
    if uom is not None:
        if uom.get("code") is not None and not UOM.match(uom.get("code")):
            fail("uom code %r" % uom.get("code"))
        if not uom.get(q(XL, "title")):
            fail("uom without its text as title")
    points = series.findall("wml2:point", NS)
    if not points:
        fail("a series without points")
    for p in points:
        tvp = p.find("wml2:MeasurementTVP", NS)
        value = tvp.find("wml2:value", NS)
        tags = [c.tag for c in children(tvp)]
        nil = value.get(q(XSI, "nil")) == "true"
        if tags not in ([q(WML, "time"), q(WML, "value")], [q(WML, "time"), q(WML, "value"), q(WML, "metadata")]):
            fail("point holds %s" % tags)
        pointMeta = tvp.find("wml2:metadata/wml2:TVPMeasurementMetadata", NS)
        if (pointMeta is not None) != (len(tags) == 3):
            fail("point metadata without TVPMeasurementMetadata")
        metaTags = [c.tag for c in children(pointMeta)] if pointMeta is not None else []
        if metaTags not in ([q(WML, "quality"), q(WML, "nilReason")], [q(WML, "quality")], [q(WML, "nilReason")]):
            if pointMeta is not None:
                fail("point metadata holds %s" % metaTags)
        if nil != (q(WML, "nilReason") in metaTags):
            fail("a nil value without its reason, or a reason beside a value")
        if not DATETIME.match(tvp.find("wml2:time", NS).text):
            fail("point time " + tvp.find("wml2:time", NS).text)
        if nil and value.text:
            fail("nil value with a number")
        if not nil and not re.match(r"^-?\d+\.\d+$", value.text or "") or (value.text or "").startswith("-0.0000"):
            if not nil:
                fail("value %r" % value.text)

    read = MeasurementTimeseriesObservation(obs)
    foi = obs.find("om:featureOfInterest", NS)
    out.append("station|%s|%s" % (read.featureOfInterest.rsplit(":", 1)[1], foi.get(q(XL, "title"))))
    result = read.get_result()
    default = result.defaultTVPMetadata.quality
    for quality in [default] + [e.get(q(XL, "href")) for e in series.findall(".//wml2:point//wml2:quality", NS)]:
        if quality is not None and not (quality.startswith(QUALITY) and quality[len(QUALITY):] in QUALITIES):
            fail("quality %r is none of the WaterML 2.0 terms" % quality)
    out.append("series|%s|%s|%s|%s" % (read.observedProperty.rsplit(":", 1)[1],
                                       obs.find("om:observedProperty", NS).get(q(XL, "title")),
                                       result.defaultTVPMetadata.uom or "-",
                                       uom.get(q(XL, "title")) if uom is not None else "-"))
    own = []
    for point, element in zip(result, points):
        time = point.datetime.isoformat()
        if point.value != point.value:  # nan: nil
            reason = element.xpath("wml2:MeasurementTVP/wml2:metadata/wml2:TVPMeasurementMetadata"
                                   "/wml2:nilReason/@xlink:href", namespaces=NS)
            line = "point|%s|nil|%s" % (time, reason[0] if reason else "")
        else:
            line = "point|%s|%s" % (time, element.find("wml2:MeasurementTVP/wml2:value", NS).text)
        metaElement = element.find("wml2:MeasurementTVP/wml2:metadata/wml2:TVPMeasurementMetadata", NS)
        quality = TVPMeasurementMetadata(metaElement).quality if metaElement is not None else None
        if quality is not None:
            # A point names its quality only where it differs from the default.
            if quality == default:
                fail("point %s repeats the default quality" % time)
            own.append(quality)
        quality = quality or default
        if quality is not None:
            line += "|" + quality[len(QUALITY):]
        out.append(line)
    # The default is the series' most common quality.
    if default is not None and own and max(own.count(x) for x in set(own)) > len(points) - len(own):
        fail("the default quality %s is not the most common" % default)
sys.stdout.buffer.write(("\n".join(out) + "\n").encode("utf-8"))
