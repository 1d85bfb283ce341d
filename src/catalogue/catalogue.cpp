#include "catalogue/catalogue.h"

namespace vud {

// Display name, file name, current release code; one application a row, by position.
const ApplicationEntry kApplicationCatalogue[kApplicationCount] = {
    {"Member Copy Along Path", "vud_mcp.ma", "F.1.3"},  // 0
    {"Beam Splice Generator", "vud_bsg.ma", "F.0.6"},  // 1
    {"Column Base Plate Designer", "vud_cbp.ma", "F.1.3"},  // 2
    {"Anchor Bolt Layout", "vud_abl.ma", "F.1.1"},  // 3
    {"Stair and Ladder Builder", "vud_stl.ma", "F.1.5"},  // 4
    {"Handrail Generator", "vud_hr.ma", "F.1.0"},  // 5
    {"Grating/Checkered Plate Layout", "vud_gcp.ma", "F.1.9"},  // 6
    {"Bracing Connection Wizard", "vud_bcw.ma", "F.1.8"},  // 7
    {"Member Renumbering Tool", "vud_mrn.ma", "F.1.1"},  // 8
    {"Section Property Browser", "vud_spb.ma", "F.1.0"},  // 9
    {"Bill of Materials Export", "vud_bom.ma", "F.1.4"},  // 10
    {"Drawing Sheet Annotator", "vud_dsa.ma", "F.1.8"},  // 11
    {"Elevation View Extractor", "vud_eve.ma", "F.0.9"},  // 12
    {"Plan View Extractor", "vud_pv.ma", "F.0.9"},  // 13
    {"Weld Symbol Placement", "vud_ws.ma", "F.1.6"},  // 14
    {"Bolt Group Editor", "vud_bge.ma", "F.1.6"},  // 15
    {"Cope and Notch Detailer", "vud_cnd.ma", "F.1.1"},  // 16
    {"Purlin and Girt Generator", "vud_pg.ma", "F.1.0"},  // 17
    {"Truss Panel Builder", "vud_tpb.ma", "F.0.8"},  // 18
    {"Frame Grid Manager", "vud_fgm.ma", "F.1.1"},  // 19
    {"Load Case Tagger", "vud_lct.ma", "F.1.5"},  // 20
    {"Model Check and Clash Report", "vud_mcc.ma", "F.1.0"},  // 21
    {"Member Trim and Extend", "vud_mte.ma", "F.1.0"},  // 22
    {"Embed Plate Placement", "vud_epp.ma", "F.0.5"},  // 23
    {"Pipe Rack Generator", "vud_prg.ma", "F.1.4"},  // 24
    {"Platform Framing Assistant", "vud_pfa.ma", "F.0.7"},  // 25
    {"Crane Rail and Runway Layout", "vud_crr.ma", "F.1.3"},  // 26
    {"Shear Tab Connection Designer", "vud_stc.ma", "F.0.0"},  // 27
    {"Moment Connection Designer", "vud_mcd.ma", "F.1.2"},  // 28
    {"Gusset Plate Detailer", "vud_gpd.ma", "F.0.5"},  // 29
    {"Member Mark Label Placement", "vud_mml.ma", "F.1.4"},  // 30
    {"Steel Weight Calculator", "vud_swc.ma", "F.1.8"},  // 31
    {"Fireproofing Quantity Estimator", "vud_fqe.ma", "F.0.3"},  // 32
    {"Paint Area Calculator", "vud_pac.ma", "F.1.3"},  // 33
    {"Cut List Optimizer", "vud_clo.ma", "F.1.5"},  // 34
    {"NC Data Export", "vud_nc.ma", "F.0.8"},  // 35
    {"3D Model Review", "vud_3dr.ma", "F.0.9"},  // 36
    {"2D Detail Sheet Generator", "vud_2d.ma", "F.1.9"},  // 37
    {"Section Table Editor", "vud_ste.ma", "F.1.7"},  // 38
    {"Model Import/Export for Analysis", "vud_mx.ma", "F.1.5"},  // 39
    {"Revision Cloud and Markup Tracking Tool", "vud_rc9.ma", "F.0.3"},  // 40
};

const std::int32_t kExpectedSizeTable[kSizeRowCount][kApplicationCount] = {
    {  // row 0: FWP 3.1/3.2 (generation 2)
        53087, 115912, 90780, 108911, 78657, 120317, 95986, 30636,
        194074, 157594, 163791, 211064, 117096, 171475, 53303, 107211,
        97059, 107719, 172150, 229044, 79601, 40208, 184368, 96105,
        133725, 52342, 173789, 144295, 51162, 41357, 159666, 45345,
        159571, 53299, 143074, 160670, 86201, 65282, 133716, 74142,
        52548,
    },
    {  // row 1: FWP 7.00.00.19 and later (generation 7)
        56476, 124375, 101718, 121889, 86102, 131773, 107313, 33959,
        214847, 174502, 181218, 226627, 128934, 181505, 59194, 119788,
        105692, 119997, 189869, 255745, 86505, 42678, 204833, 107696,
        140734, 55649, 186986, 152840, 54280, 46323, 174623, 50367,
        175564, 57939, 151526, 171158, 95503, 70048, 141970, 80749,
        57388,
    },
    {  // row 2: FWP 7.0.0.0 to 7.00.00.16 (generation 7)
        56203, 124102, 101445, 121616, 85829, 131500, 107040, 33686,
        214574, 174229, 180945, 226354, 128661, 181232, 58921, 119515,
        105419, 119721, 189596, 255472, 86232, 42405, 204560, 107423,
        140461, 55376, 186713, 152567, 54007, 46050, 174350, 50094,
        175291, 57666, 151253, 170885, 95230, 69775, 141697, 80476,
        57115,
    },
    {  // row 3: FWP 7.1 to 7.3 (generation 6)
        58539, 127478, 105217, 129076, 91402, 136652, 113001, 35750,
        224824, 179213, 189395, 237619, 133000, 187732, 61579, 123686,
        111092, 126057, 195441, 266312, 88302, 43823, 215619, 111897,
        144618, 57378, 197440, 158531, 56302, 47698, 184122, 52317,
        182491, 59729, 157838, 180672, 99115, 73550, 146584, 82937,
        60296,
    },
    {  // row 4: FWP 8.0
        59553, 128492, 106231, 130090, 92416, 137666, 114015, 36764,
        225838, 180227, 190409, 238633, 134014, 188746, 62593, 124700,
        112106, 127071, 196455, 267326, 89316, 44837, 216633, 112911,
        145632, 58392, 198454, 159545, 57316, 48712, 185136, 53331,
        183505, 60743, 158852, 181686, 100129, 74564, 147598, 83951,
        61310,
    },
    {  // row 5: FWP 9.0
        59640, 128579, 106318, 130177, 92503, 137753, 114102, 36851,
        225925, 180314, 190496, 238720, 134101, 188833, 62680, 124787,
        112193, 127158, 196542, 267413, 89403, 44924, 216720, 112998,
        145719, 58479, 198541, 159632, 57403, 48799, 185223, 53418,
        183592, 60830, 158939, 181773, 100216, 74651, 147685, 84038,
        61397,
    },
    {  // row 6: FWP 10.0
        64388, 136006, 115438, 139681, 98278, 149823, 120609, 39333,
        246004, 186821, 200381, 253637, 146147, 203260, 67059, 133760,
        117244, 131374, 209270, 284687, 96833, 48600, 232597, 116923,
        150288, 61281, 209420, 164762, 61155, 51501, 192308, 56436,
        198015, 63978, 165710, 197309, 107865, 81149, 158403, 87623,
        65733,
    },
    {  // row 7: FWP 11.0
        65685, 140097, 118734, 146019, 99858, 155268, 122070, 39976,
        250197, 191900, 206004, 257408, 149242, 210500, 70361, 140025,
        119297, 134340, 213617, 294012, 100803, 50465, 240875, 121665,
        153480, 63685, 218090, 168780, 63829, 53464, 201139, 57643,
        202510, 65402, 173376, 201445, 109085, 84496, 164185, 89951,
        68270,
    },
    {  // row 8: FWP 12.0
        65685, 140097, 118734, 146019, 99858, 155268, 122072, 39976,
        250199, 191900, 206004, 257410, 149244, 210500, 70361, 140025,
        119297, 134340, 213617, 294012, 100803, 50465, 240875, 121665,
        153480, 63685, 218090, 168780, 63829, 53464, 201139, 57643,
        202510, 65402, 173376, 201445, 109085, 84496, 164185, 89953,
        68272,
    },
};

}  // namespace vud
