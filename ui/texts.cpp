#include "ui/texts.h"

namespace korvex {

QString memoAtext() {
    return QStringLiteral(
        "For a plane source, set the thickness t1 to 0. For a line source, select "
        "cuboid source and set t1 to 0 and a1 or b1 to 0.");
}

QString memo3text() {
    return QStringLiteral(
        "For a plane window detector, set t2=0. Only the emissions entering the "
        "window from above will be counted as entering the detector. ");
}

QStringList memo2lines() {
    return {
        "Please read this. Use the scroll bar to see all the text.",
        "",
        "The rotations are about the front face (or end) of the source, ",
        "not the centre of the source. ",
        "",
        "The orientation of the source face relative to the detector is defined by",
        "the rotations that would be needed to make the source Xs, Ys and Zs ",
        "axes parallel to the detector face Xd, Yd and Zd axes respectively. ",
        "",
        "The rotations are by Euler angles around a floating co-ordinate frame.  ",
        "Up to three source rotations may be necessary.  ",
        "",
        "The order is important. It is:",
        "",
        "1. Rotate the source around its Xs axis so the source Ys axis rotates to ",
        "    becomes parallel to the detector Xd Yd plane. This changes the ",
        "    source Ys and Zs axes to Y' and Z'.",
        "",
        "2. Then rotate the source around the new Y' axis so the source Xs ",
        "     rotates to become parallel to the detector Xd Yd plane. This changes ",
        "     the source Xs and Z' axes to X' and Z''. (Z'' is now parallel to the",
        "     detector Zd.) ",
        "",
        "3. Lastly, rotate the source around its new Z'' axis so the source axes X' ",
        "    and Y' become parallel to the corresponding detector Xd and Yd axes. ",
        "    All three source axes are now parallel to the corresponding detector ",
        "    axes. ",
        "",
        "It is important also to give the correct sign (positive or negative) to each ",
        "source rotation. The rotation is positive if the source axis is moved ",
        "counter-clockwise from the positive source axis looking towards the ",
        "origin. ",
        "",
        "Clockwise rotations are entered as negative values. Be careful with this,",
        "it is easy to forget the correct sign. Refer to the diagram in the guidance ",
        "document.",
        "",
        "The source origin is the centre of the source front face (as if the source ",
        "has zero thickness), and the detector origin is the centre of the detector ",
        "top end. ",
        "",
        "The X and Y axes are in the plane of the relevant front face. For a ",
        "rectangular shape, the co-ordinate frame is chosen such that the X axis ",
        "and Y axis are parallel to the rectangle sides. ",
        "",
        "For a cylindrical source and detector, the detector co-ordinate frame is ",
        "orientated so that the detector Xd axis is parallel to the line joining the ",
        "circle centres when viewed in plan above the detector end. ",
        "",
        "For a cylindrical source, if the Ys axis is on the line of intersection ",
        "between ",
        "the source front face and a plane which is parallel to the detector top ",
        "end and passes through the source origin, it reduces the number of",
        "rotations needed to no more than two.",
        "",
        "ROTATING THE DETECTOR.",
        "KORVEX defines the orientation of the source to the detector by rotations ",
        "of the source, not the detector. In situations where the detector is being ",
        "rotated, to use KORVEX just move and rotate the source to the equivalent ",
        "relative position. For a point source, just move the point to the equivalent ",
        "relative position. ",
        "",
    };
}

std::string abouttext() {
    return "Korvex3.exe version 1.4\r\r\r"
           "A Monte Carlo method to calculate the average solid angle subtended by a detector\r"
           "- right cylinder, cuboid, circular window, rectangular window or sphere in shape -\r"
           "to a source that is circular or rectangular, plane or thick, at any position and\r"
           "orientation to the detector.\r\r"
           "NOTE: The source origin to which displacements and rotations are\r"
           "referenced is at the centre of the source face (as if it had zero thickness)\r"
           "and the detector origin is at the centre of the detector top face (except for\r"
           "spherical detectors, where the origin is at the centre of the sphere).\r\r"
           "The method is a Monte Carlo estimate by random rays.\r\r";
}

QString displaytext(const std::string& text) {
    QString s = QString::fromStdString(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

}  // namespace korvex
