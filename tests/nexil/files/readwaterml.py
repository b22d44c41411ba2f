#!/usr/bin/python3
# Prints the points of a WaterML 2.0 collection, one per line, found by XPath
# with the WaterML namespaces:
#   station|CODE|NAME
#   series|CHANNEL TITLE|UNIT
#   point|TIME|VALUE          or   point|TIME|nil|NIL REASON
import sys
from lxml import etree

NS = {
    "wml2": "http://www.opengis.net/waterml/2.0",
    "gml": "http://www.opengis.net/gml/3.2",
    "om": "http://www.opengis.net/om/2.0",
    "xlink": "http://www.w3.org/1999/xlink",
    "xsi": "http://www.w3.org/2001/XMLSchema-instance",
}
XL = "{http://www.w3.org/1999/xlink}"

doc = etree.parse(sys.argv[1])
root = doc.getroot()
if root.tag != "{%s}Collection" % NS["wml2"]:
    sys.exit("root is " + root.tag)
out = []
for obs in doc.xpath("/wml2:Collection/wml2:observationMember/om:OM_Observation", namespaces=NS):
    foi = obs.xpath("om:featureOfInterest", namespaces=NS)[0]
    out.append("station|%s|%s" % (foi.get(XL + "href").rsplit(":", 1)[1], foi.get(XL + "title")))
    prop = obs.xpath("om:observedProperty", namespaces=NS)[0]
    uom = obs.xpath(".//wml2:MeasurementTimeseries/wml2:defaultPointMetadata"
                    "/wml2:DefaultTVPMeasurementMetadata/wml2:uom/@code", namespaces=NS)
    out.append("series|%s|%s" % (prop.get(XL + "title"), uom[0]))
    for tvp in obs.xpath("om:result/wml2:MeasurementTimeseries/wml2:point/wml2:MeasurementTVP",
                         namespaces=NS):
        time = tvp.xpath("wml2:time/text()", namespaces=NS)[0]
        value = tvp.xpath("wml2:value", namespaces=NS)[0]
        if value.get("{%s}nil" % NS["xsi"]) == "true":
            if value.text:
                sys.exit("nil value with a number")
            reason = tvp.xpath("wml2:metadata/wml2:TVPMeasurementMetadata/wml2:nilReason/@xlink:href",
                               namespaces=NS)
            out.append("point|%s|nil|%s" % (time, reason[0] if reason else ""))
        else:
            out.append("point|%s|%s" % (time, value.text))
sys.stdout.buffer.write(("\n".join(out) + "\n").encode("utf-8"))
