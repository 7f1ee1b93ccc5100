#pragma once

class ListOwner;
class QWidget;

// "Show List In Larger View": copies every row of the main list into a new larger view, shows it
// maximized and modal over owner, and after it has closed brings the main counters up to date.
void showListInLargerView(ListOwner& main, QWidget* owner);
