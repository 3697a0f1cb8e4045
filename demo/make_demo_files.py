#!/usr/bin/env python3
"""Writes the demo address book and zone file as the terminal system keeps them:
Windows-1251 bytes, CR LF line ends.

    python3 demo/make_demo_files.py      # rewrites demo/AddrBook.txt and demo/maps.mrk

The files themselves are committed; run this only after changing the tables below.
The zone assignments and alert settings of the vehicles live in tools/demo/DemoPlan.h:
keep the zone names there in step with this file.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))

# number, name, (unused), text shown under "Тревога" in the address-book dialog.
# The bus name carries a comma, so its field is quoted as the terminal system does.
VEHICLES = [
    ("12", "КамАЗ-65115 А412ВС", "1", "Тревожная кнопка"),
    ("17", "МАЗ-5440 В238КХ", "1", ""),
    ("23", "ГАЗель Next Е512МН", "1", "Тревожная кнопка"),
    ("31", "Урал-4320 К090ТТ", "1", ""),
    ("38", "Scania R440 О777РУ", "1", "Тревожная кнопка"),
    ("45", "Volvo FH Р145СА", "1", ""),
    ("52", "ЗИЛ-5301 Бычок Т552АУ", "1", ""),
    ("58", "Hyundai HD78 М358ЕО", "1", "Тревожная кнопка"),
    ("63", "КамАЗ-5490 Н630ХА", "1", ""),
    ("71", "Автобус ЛиАЗ, маршрут 50", "2", "Тревожная кнопка"),
    ("77", "ГАЗ-3309 С077ОК", "1", ""),
    ("84", "Isuzu NQR С840УВ", "1", ""),
    ("91", "Эвакуатор ГАЗон Х910КЕ", "1", "Тревожная кнопка"),
    ("105", "Мусоровоз МК-4546 У105ТМ", "1", ""),
    ("118", "Молоковоз ГАЗ-3309 У118АР", "1", "Тревожная кнопка"),
]

# Yekaterinburg. Circles: (name, "R", radius, lat, lon); polygons: (name, "N", [(lat, lon)...]);
# a circle without a suffix gets the default 300 m.
ZONES = [
    # Depots and garages.
    ("Автобаза №1 Уралмаш", "R", 350, 56.8845, 60.6050),
    ("Автобаза №2 Вторчермет", "R", 400, 56.7805, 60.6190),
    ("Гараж Центр", "R", 250, 56.8330, 60.6160),
    ("Нефтебаза Шарташ", "R", 300, 56.8585, 60.6985),
    ("АЗС на Бебеля", "", 0, 56.8560, 60.5560),
    # Warehouses and yards.
    ("Склад Сортировка", "N", [(56.8672, 60.5380), (56.8735, 60.5395), (56.8745, 60.5490),
                               (56.8705, 60.5530), (56.8665, 60.5475)]),
    ("Склад готовой продукции УЗТМ", "N", [(56.8920, 60.6200), (56.8955, 60.6205),
                                            (56.8952, 60.6290), (56.8918, 60.6285)]),
    ("Двор Эльмаш", "N", [(56.8870, 60.6760), (56.8915, 60.6765), (56.8920, 60.6860),
                          (56.8875, 60.6855)]),
    ("Склад Химмаш", "N", [(56.7430, 60.6200), (56.7480, 60.6205), (56.7485, 60.6320),
                           (56.7435, 60.6315)]),
    ("Стройплощадка Академический", "N", [(56.7870, 60.4980), (56.7935, 60.4990),
                                           (56.7940, 60.5100), (56.7880, 60.5110)]),
    ("Терминал Кольцово", "N", [(56.7470, 60.7900), (56.7520, 60.7905), (56.7525, 60.8010),
                                (56.7475, 60.8005)]),
    # The plant's grounds hold the depot and the finished-goods warehouse.
    ("Промзона Уралмаш", "N", [(56.8800, 60.5980), (56.8980, 60.6010), (56.8975, 60.6350),
                                (56.8805, 60.6330)]),
    # Forbidden areas: the truck ban of the centre (with the garage and the dam inside it),
    # the bridge with a weight limit at its edge, the water protection strip of the VIZ pond,
    # the airport's restricted area overlapping the cargo terminal.
    ("Центр - запрет для грузовых", "N", [(56.8280, 60.5850), (56.8290, 60.6250),
                                          (56.8370, 60.6330), (56.8455, 60.6280),
                                          (56.8465, 60.5880), (56.8380, 60.5790)]),
    ("Плотинка", "R", 150, 56.8377, 60.6035),
    ("Мост Макаровский", "R", 180, 56.8475, 60.6000),
    ("Водоохранная зона ВИЗ", "N", [(56.8420, 60.5450), (56.8500, 60.5480), (56.8510, 60.5700),
                                    (56.8440, 60.5880), (56.8400, 60.5600)]),
    ("Аэропорт - режимная зона", "N", [(56.7330, 60.7800), (56.7500, 60.7780),
                                       (56.7540, 60.8150), (56.7360, 60.8180)]),
]


def quote(field):
    if "," in field or '"' in field:
        return '"' + field.replace('"', '""') + '"'
    return field


def write(name, lines):
    data = "".join(line + "\r\n" for line in lines).encode("cp1251")
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def main():
    write("AddrBook.txt", [",".join(quote(f) for f in v) for v in VEHICLES])
    lines = []
    n = 0
    for zone in ZONES:
        name, kind = zone[0], zone[1]
        if kind == "N":
            for k, (lat, lon) in enumerate(zone[2], start=1):
                n += 1
                lines.append(f"{n}\t{lat:.4f}\t{lon:.4f}\t1\t {name} (N{k})")
        else:
            n += 1
            suffix = f" (R{zone[2]})" if kind == "R" else ""
            lines.append(f"{n}\t{zone[3]:.4f}\t{zone[4]:.4f}\t0\t {name}{suffix}")
    write("maps.mrk", lines)


if __name__ == "__main__":
    main()
